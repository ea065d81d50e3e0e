// The main frame: menu, accelerators, toolbar, status bar, About box, Exit, the command
// line and the settings kept between runs.
#include <QAbstractButton>
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

QStringList ItemTexts(const QList<QAction*>& actions) {
    QStringList texts;
    for (const QAction* action : actions) {
        texts << (action->isSeparator() ? QStringLiteral("-") : action->text());
    }
    return texts;
}

TEST_F(WindowTest, MenuHoldsFileAndHelp) {
    const QList<QAction*> popups = frame->menuBar()->actions();
    EXPECT_EQ(ItemTexts(popups), (QStringList{"ﾌｧｲﾙ(&F)", "ﾍﾙﾌﾟ(&H)"}));
    const QList<QAction*> file = popups[0]->menu()->actions();
    EXPECT_EQ(ItemTexts(file),
              (QStringList{"開く(&O)...", "-", "最近使ったﾌｧｲﾙ", "-", "ｱﾌﾟﾘｹｰｼｮﾝの終了(&X)"}));
    EXPECT_FALSE(file[2]->isEnabled());
    EXPECT_EQ(ItemTexts(popups[1]->menu()->actions()),
              QStringList{"tezplayer のﾊﾞｰｼﾞｮﾝ情報(&A)..."});
}

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

TEST_F(WindowTest, AcceleratorKeysPressedInATextBox) {
    const KeyCase cases[] = {
        {"Ctrl+X", "", "abc", 2, 0},
        {"Shift+Del", "", "abc", 2, 0},
        {"Ctrl+C", "abc", "abc", 2, 0},
        {"Ctrl+Ins", "abc", "abc", 2, 0},
        {"Ctrl+V", "xy", "xy", 2, 0},
        {"Shift+Ins", "xy", "xy", 2, 0},
        {"Ctrl+X, Ctrl+Z", "abc", "abc", 2, 0},
        {"Ctrl+X, Alt+Backspace", "abc", "abc", 2, 0},
        {"Ctrl+N", "no file", "xy", 0, 0},
        {"Ctrl+O", "abc", "xy", 2, 1},
    };
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

struct ButtonCase {
    unsigned id;
    const char* prompt;
    const char* toolTip;
    bool enabled;
};

// Pointing at a button shows its prompt in the message pane; only handled ones are enabled.
TEST_F(WindowTest, ToolbarButtonsShowTheirPromptsAndOnlyHandledOnesAreEnabled) {
    const ButtonCase buttons[] = {
        {ids::kFileNew, "新規にﾌｧｲﾙを作成", "新規ﾌｧｲﾙ", true},
        {ids::kFileOpen, "既存のﾌｧｲﾙを開く", "開く", true},
        {ids::kFileSave, "作業中のﾌｧｲﾙを上書きして保存", "保存", false},
        {ids::kEditCut, "選択範囲を切り取ってｸﾘｯﾌﾟﾎﾞｰﾄﾞに保存", "切り取り", false},
        {ids::kEditCopy, "選択範囲をｺﾋﾟｰしてｸﾘｯﾌﾟﾎﾞｰﾄﾞに保存", "ｺﾋﾟｰ", false},
        {ids::kEditPaste, "ｸﾘｯﾌﾟﾎﾞｰﾄﾞの内容を貼り付け", "貼り付け", false},
        {ids::kFilePrint, "", "", false},
        {ids::kAppAbout, "ﾌﾟﾛｸﾞﾗﾑの情報、ﾊﾞｰｼﾞｮﾝそして著作権を表示", "ﾊﾞｰｼﾞｮﾝ情報", true},
    };
    const QList<QAction*> toolSlots = frame->ToolBar()->actions();
    ASSERT_EQ(toolSlots.size(), 11);
    int button = 0;
    for (int slot = 0; slot < toolSlots.size(); ++slot) {
        const bool separator = slot == 3 || slot == 7 || slot == 9;
        EXPECT_EQ(toolSlots[slot]->isSeparator(), separator) << slot;
        if (separator) {
            continue;
        }
        const ButtonCase& expected = buttons[button++];
        QAction* action = toolSlots[slot];
        EXPECT_EQ(action->data().toUInt(), expected.id);
        EXPECT_EQ(action->toolTip(), QString::fromUtf8(expected.toolTip));
        EXPECT_EQ(action->isEnabled(), expected.enabled) << expected.id;
        action->showStatusText(frame);
        EXPECT_EQ(frame->MessagePaneText(),
                  *expected.prompt != 0 ? QString::fromUtf8(expected.prompt) : "ﾚﾃﾞｨ");
        QStatusTipEvent leaving{QString()};
        QApplication::sendEvent(frame, &leaving);
        EXPECT_EQ(frame->MessagePaneText(), "ﾚﾃﾞｨ");
    }
}

class AboutBoxTest : public WindowTest, public ::testing::WithParamInterface<int> {};

TEST_P(AboutBoxTest, IsModalAndClosesByItsButtonOrEscape) {
    QString caption;
    QStringList labels;
    QTimer::singleShot(0, [&] {
        QWidget* box = QApplication::activeModalWidget();
        ASSERT_NE(box, nullptr);
        caption = box->windowTitle();
        for (const QLabel* label : box->findChildren<QLabel*>()) {
            labels << label->text();
        }
        if (GetParam() == 0) {
            QTest::mouseClick(box->findChild<QAbstractButton*>(), Qt::LeftButton);
        } else {
            QTest::keyClick(box, Qt::Key_Escape);
        }
    });
    RunCommand(ids::kAppAbout);  // returns once the box is closed
    EXPECT_EQ(caption, "tezplayerのﾊﾞｰｼﾞｮﾝ情報");
    ASSERT_EQ(labels.size(), 2);
    EXPECT_EQ(labels[0], "tezplayer Version 1.05");
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

INSTANTIATE_TEST_SUITE_P(Ways, AboutBoxTest, ::testing::Values(0, 1));

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

// A file named on the command line becomes the document's title and the first recent file
// only: the form stays as after a plain start. The list is kept for the next run, under the
// application's own name, and its entry opens the file as the document.
TEST(CommandLine, NamedFileSetsTheTitleAndIsRememberedForTheNextRun) {
    ScratchDir scratch;
    const std::string path = scratch.Write("named.tez", "I0 K60 V100 L120\n");
    const QString canonical = QString::fromStdString(std::filesystem::canonical(path).string());
    {
        App first;
        ASSERT_TRUE(first.app.StartWithArguments({"tezplayer", QString::fromStdString(path)}));
        auto* view = static_cast<DEzazerireVuvu*>(first.app.MainWnd()->GetActiveView());
        EXPECT_EQ(first.app.MainWnd()->windowTitle(), "named.tez - tezplayer");
        EXPECT_EQ(view->Status(), "no file");
        EXPECT_EQ(view->ScoreText(), "");
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
    next.app.ExitInstance();
}

TEST(CommandLine, UnreadableFileEndsTheStartWithoutAWindow) {
    ScratchDir scratch;
    App start;
    EXPECT_FALSE(start.app.StartWithArguments({"tezplayer", "no-such-file.tez"}));
    EXPECT_EQ(start.app.MainWnd(), nullptr);
}

}  // namespace
}  // namespace tez::apptest
