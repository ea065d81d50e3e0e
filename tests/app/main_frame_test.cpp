// The main frame: menu, accelerators, toolbar, status bar, About box, Exit, the command
// line and the settings kept between runs.
#include <QAction>
#include <QClipboard>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QSettings>
#include <QStatusTipEvent>
#include <QTimer>
#include <QToolBar>
#include <filesystem>

#include "window_fixture.h"

namespace tez::apptest {
namespace {

// Keys pressed in the status box with "abc" selected, "xy" on the clipboard and the third
// device entry chosen. The clipboard and undo keys have no command of the program's own, so
// they do what they do in any text box; the keys of handled commands reach their command.
struct KeyCase {
    const char* keys;
    const char* box;  // its text afterwards
    const char* clipboard;
    int deviceEntry;
    std::size_t openDialogs;
};

// Alt, the menu's letter and an item's letter reach that one item: no letter twice in a menu.
TEST_F(WindowTest, EachItemOfAMenuHasALetterOfItsOwn) {
    for (const QAction* popup : frame->menuBar()->actions()) {
        QSet<QChar> letters;
        for (const QAction* item : popup->menu()->actions()) {
            const qsizetype mark = item->text().indexOf(u'&');
            if (mark >= 0 && mark + 1 < item->text().size()) {
                const QChar letter = item->text().at(mark + 1).toUpper();
                EXPECT_FALSE(letters.contains(letter)) << item->text().toStdString();
                letters.insert(letter);
            }
        }
    }
}

TEST_F(WindowTest, AcceleratorKeysPressedInATextBox) {
    const KeyCase cases[] = {{"Ctrl+X", "", "abc", 2, 0},
                             {"Shift+Del", "", "abc", 2, 0},
                             {"Ctrl+C", "abc", "abc", 2, 0},
                             {"Ctrl+Ins", "abc", "abc", 2, 0},
                             {"Ctrl+V", "xy", "xy", 2, 0},
                             {"Shift+Ins", "xy", "xy", 2, 0},
                             {"Ctrl+X, Ctrl+Z", "abc", "abc", 2, 0},
                             {"Ctrl+X, Alt+Backspace", "abc", "abc", 2, 0},
                             {"Ctrl+N", "no file", "xy", 0, 0},
                             {"Ctrl+O", "abc", "xy", 2, 1},
                             {"Ctrl+I", "abc", "xy", 2, 1}};
    QApplication::setActiveWindow(frame);
    ASSERT_TRUE(QTest::qWaitForWindowActive(frame));
    for (const KeyCase& c : cases) {
        SCOPED_TRACE(c.keys);
        prompts.requests.clear();
        DeviceList()->setCurrentIndex(2);
        QApplication::clipboard()->setText("xy");
        StatusBox()->setFocus();
        StatusBox()->setText("abc");
        StatusBox()->selectAll();
        QTest::keySequence(StatusBox(), QKeySequence(QString::fromLatin1(c.keys)));
        EXPECT_EQ(StatusBox()->text(), c.box);
        EXPECT_EQ(QApplication::clipboard()->text(), c.clipboard);
        EXPECT_EQ(DeviceList()->currentIndex(), c.deviceEntry);
        EXPECT_EQ(prompts.requests.size(), c.openDialogs);
    }
}

// Pointing at a button shows its own prompt in the message pane, then the idle text again;
// only the buttons of handled commands are enabled.
TEST_F(WindowTest, ToolbarButtonsShowTheirPromptsAndOnlyHandledOnesAreEnabled) {
    // A separator has id 0.
    const std::vector<std::pair<unsigned, bool>> buttons = {
        {ids::kFileNew, true},    {ids::kFileOpen, true},
        {ids::kFileSave, false},  {0, true},
        {ids::kEditCut, false},   {ids::kEditCopy, false},
        {ids::kEditPaste, false}, {0, true},
        {ids::kFilePrint, false}, {0, true},
        {ids::kAppAbout, true}};
    const QList<QAction*> actions = frame->ToolBar()->actions();
    ASSERT_EQ(actions.size(), static_cast<qsizetype>(buttons.size()));
    for (std::size_t i = 0; i < buttons.size(); ++i) {
        QAction* action = actions[static_cast<qsizetype>(i)];
        EXPECT_EQ(action->isSeparator(), buttons[i].first == 0) << i;
        EXPECT_EQ(action->data().toUInt(), buttons[i].first) << i;
        EXPECT_EQ(action->isEnabled(), buttons[i].second) << i;
        action->showStatusText(frame);
        const QString prompt = action->statusTip();
        EXPECT_EQ(frame->MessagePaneText(), prompt.isEmpty() ? "ﾚﾃﾞｨ" : prompt);
        EXPECT_EQ(prompt.isEmpty(), buttons[i].first == 0 || buttons[i].first == ids::kFilePrint);
        QStatusTipEvent leaving{QString()};
        QApplication::sendEvent(frame, &leaving);
        EXPECT_EQ(frame->MessagePaneText(), "ﾚﾃﾞｨ");
    }
}

TEST_F(WindowTest, AboutBoxIsModalAndClosesByEscape) {
    QString caption, version;
    QTimer::singleShot(0, [&] {
        QWidget* box = QApplication::activeModalWidget();
        ASSERT_NE(box, nullptr);
        caption = box->windowTitle();
        version = box->findChildren<QLabel*>().value(0)->text();
        QTest::keyClick(box, Qt::Key_Escape);
    });
    RunCommand(ids::kAppAbout);  // returns once the box is closed
    EXPECT_EQ(caption, "tezplayerのﾊﾞｰｼﾞｮﾝ情報");
    EXPECT_EQ(version, "tezplayer Version 1.05");
}

TEST_F(WindowTest, ExitClosesWithoutAsking) {
    ASSERT_TRUE(frame->isVisible());
    RunCommand(ids::kAppExit);
    EXPECT_FALSE(frame->isVisible());
    EXPECT_TRUE(prompts.messages.isEmpty());
}

struct App {
    RecordingDevices devices;
    ScriptedPrompts prompts;
    CTezplayerApp app{prompts, devices};
};

// A file named on the command line becomes the document's title and the first recent file,
// and opens as Open opens it. The list is kept for the next run, under the application's own
// name, and its entry opens the file the same way.
TEST(CommandLine, NamedFileSetsTheTitleAndIsRememberedForTheNextRun) {
    ScratchDir scratch;
    const std::string path = scratch.Write("named.tez", "I0 K60 V100 L120\n");
    const QString canonical = QString::fromStdString(std::filesystem::canonical(path).string());
    {
        App first;
        ASSERT_TRUE(first.app.StartWithArguments({"tezplayer", QString::fromStdString(path)}));
        auto* view = static_cast<DEzazerireVuvu*>(first.app.MainWnd()->GetActiveView());
        EXPECT_EQ(first.app.MainWnd()->windowTitle(), "named.tez - tezplayer");
        EXPECT_EQ(view->Status(), "file opened");
        EXPECT_EQ(view->ScoreText(), "I0 K60 V100 L120\n");
        EXPECT_TRUE(view->Notes().HasRecords());
        EXPECT_TRUE(std::filesystem::exists("tez_p.smf"));
        first.app.ExitInstance();
    }
    QSettings stored("Local AppWizard-Generated Applications", "tezplayer");
    EXPECT_EQ(stored.value("Recent File List/File1").toString(), canonical);

    App next;
    ASSERT_TRUE(next.app.StartWithArguments({"tezplayer"}));
    EXPECT_EQ(next.app.MainWnd()->windowTitle(), "無題 - tezplayer");
    QMenu* file = next.app.MainWnd()->menuBar()->actions().at(0)->menu();
    emit file->aboutToShow();
    const QList<QAction*> items = file->actions();
    for (const QAction* item : items) {
        EXPECT_FALSE(item->text() == "最近使ったﾌｧｲﾙ" && item->isVisible());
    }
    const auto entry = std::find_if(items.begin(), items.end(), [](QAction* action) {
        return action->text().startsWith("&1 ");
    });
    ASSERT_NE(entry, items.end());
    EXPECT_EQ((*entry)->statusTip(), "指定のﾌｧｲﾙを開く");
    (*entry)->trigger();
    EXPECT_EQ(next.app.MainWnd()->windowTitle(), "named.tez - tezplayer");
    EXPECT_EQ(static_cast<DEzazerireVuvu*>(next.app.MainWnd()->GetActiveView())->ScoreText(),
              "I0 K60 V100 L120\n");
    next.app.ExitInstance();
}

TEST(CommandLine, UnreadableFileOpensTheWindowThatSaysSo) {
    ScratchDir scratch;
    App start;
    EXPECT_TRUE(start.app.StartWithArguments({"tezplayer", "no-such-file.tez"}));
    ASSERT_NE(start.app.MainWnd(), nullptr);
    EXPECT_EQ(start.app.MainWnd()->windowTitle(), "無題 - tezplayer");
    EXPECT_EQ(start.prompts.messages, QStringList{"file open error"});
    start.app.ExitInstance();
}

}  // namespace
}  // namespace tez::apptest
