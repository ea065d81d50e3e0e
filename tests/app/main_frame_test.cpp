// The main frame: menu, accelerators, toolbar, status bar, About box, Exit and the
// command line.
#include <QAbstractButton>
#include <QAction>
#include <QDialog>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QStatusTipEvent>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <filesystem>

#include "about_dialog.h"
#include "framework/command_ids.h"
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

TEST_F(WindowTest, MenuHoldsFilePlayAndHelp) {
    QList<QAction*> popups = frame->menuBar()->actions();
    ASSERT_EQ(popups.size(), 3);
    EXPECT_EQ(popups[0]->text(), "ﾌｧｲﾙ(&F)");
    EXPECT_EQ(popups.takeAt(1)->text(), "演奏(&P)");
    EXPECT_EQ(popups[1]->text(), "ﾍﾙﾌﾟ(&H)");
    const QList<QAction*> file = popups[0]->menu()->actions();
    EXPECT_EQ(ItemTexts(file),
              (QStringList{"開く(&O)...", "-", "最近使ったﾌｧｲﾙ", "-", "ｱﾌﾟﾘｹｰｼｮﾝの終了(&X)"}));
    EXPECT_FALSE(file[2]->isEnabled());
    EXPECT_EQ(file[0]->shortcut(), QKeySequence("Ctrl+O"));
    EXPECT_EQ(ItemTexts(popups[1]->menu()->actions()),
              QStringList{"tezplayer のﾊﾞｰｼﾞｮﾝ情報(&A)..."});
}

struct AcceleratorCase {
    const char* keys;
    unsigned id;
};

class AcceleratorTest : public WindowTest, public ::testing::WithParamInterface<AcceleratorCase> {};

TEST_P(AcceleratorTest, KeysBelongToTheirCommand) {
    const QKeySequence keys(QString::fromLatin1(GetParam().keys));
    EXPECT_TRUE(frame->CommandAction(GetParam().id)->shortcuts().contains(keys));
}

INSTANTIATE_TEST_SUITE_P(Table, AcceleratorTest,
                         ::testing::Values(AcceleratorCase{"Ctrl+N", ids::kFileNew},
                                           AcceleratorCase{"Ctrl+O", ids::kFileOpen},
                                           AcceleratorCase{"Ctrl+S", ids::kFileSave},
                                           AcceleratorCase{"Ctrl+Z", ids::kEditUndo},
                                           AcceleratorCase{"Ctrl+X", ids::kEditCut},
                                           AcceleratorCase{"Ctrl+C", ids::kEditCopy},
                                           AcceleratorCase{"Ctrl+V", ids::kEditPaste},
                                           AcceleratorCase{"Alt+Backspace", ids::kEditUndo},
                                           AcceleratorCase{"Shift+Del", ids::kEditCut},
                                           AcceleratorCase{"Ctrl+Ins", ids::kEditCopy},
                                           AcceleratorCase{"Shift+Ins", ids::kEditPaste},
                                           AcceleratorCase{"F6", ids::kNextPane},
                                           AcceleratorCase{"Shift+F6", ids::kPrevPane}));

struct ButtonCase {
    unsigned id;
    const char* prompt;
    const char* toolTip;
    bool enabled;
};

TEST_F(WindowTest, ToolbarButtonsShowPromptsAndOnlyHandledOnesAreEnabled) {
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
        EXPECT_EQ(action->statusTip(), QString::fromUtf8(expected.prompt));
        EXPECT_EQ(action->toolTip(), QString::fromUtf8(expected.toolTip));
        EXPECT_EQ(action->isEnabled(), expected.enabled) << expected.id;
        EXPECT_FALSE(action->icon().isNull());
    }
    EXPECT_TRUE(frame->ToolBar()->isMovable());
    EXPECT_TRUE(frame->ToolBar()->isFloatable());
    EXPECT_EQ(frame->ToolBar()->allowedAreas(), Qt::AllToolBarAreas);
    EXPECT_EQ(frame->toolBarArea(frame->ToolBar()), Qt::TopToolBarArea);
}

TEST_F(WindowTest, MessagePaneShowsPromptsAndReturnsToTheIdleText) {
    EXPECT_EQ(frame->MessagePaneText(), "ﾚﾃﾞｨ");
    QStatusTipEvent pointing(QStringLiteral("既存のﾌｧｲﾙを開く"));
    QApplication::sendEvent(frame, &pointing);
    EXPECT_EQ(frame->MessagePaneText(), "既存のﾌｧｲﾙを開く");
    QStatusTipEvent leaving{QString()};
    QApplication::sendEvent(frame, &leaving);
    EXPECT_EQ(frame->MessagePaneText(), "ﾚﾃﾞｨ");
}

TEST_F(WindowTest, IndicatorPanesAreKanaCapsNumScroll) {
    QStringList texts;
    for (QLabel* pane : frame->IndicatorPanes()) {
        texts << pane->property("indicatorText").toString();
        // The offscreen platform tells no lock state, so every pane is blank.
        EXPECT_EQ(pane->text(), "");
    }
    EXPECT_EQ(texts, (QStringList{"ｶﾅ", "CAP", "NUM", "SCRL"}));
}

TEST_F(WindowTest, UnhandledCommandsChangeNothing) {
    const std::string status = view->Status();
    for (unsigned id : {ids::kFileSave, ids::kEditCut, ids::kEditCopy, ids::kEditPaste,
                        ids::kEditUndo, ids::kFilePrint, ids::kNextPane, ids::kPrevPane}) {
        EXPECT_FALSE(frame->RouteCommand(id, CommandMode::kExecute)) << id;
    }
    EXPECT_EQ(view->Status(), status);
    EXPECT_TRUE(prompts.requests.empty());
}

enum class Closing { kOk, kEnter, kEscape, kCloseBox };

class AboutBoxTest : public WindowTest, public ::testing::WithParamInterface<Closing> {};

TEST_P(AboutBoxTest, IsModalAndCloses) {
    QString caption;
    QStringList labels;
    bool modal = false;
    QTimer::singleShot(0, [&] {
        QWidget* box = QApplication::activeModalWidget();
        ASSERT_NE(box, nullptr);
        modal = box->isModal();
        caption = box->windowTitle();
        for (const QLabel* label : box->findChildren<QLabel*>()) {
            labels << label->text();
        }
        switch (GetParam()) {
            case Closing::kOk:
                QTest::mouseClick(box->findChild<QAbstractButton*>(), Qt::LeftButton);
                break;
            case Closing::kEnter:
                QTest::keyClick(box, Qt::Key_Return);
                break;
            case Closing::kEscape:
                QTest::keyClick(box, Qt::Key_Escape);
                break;
            case Closing::kCloseBox:
                box->close();
                break;
        }
    });
    RunCommand(ids::kAppAbout);  // returns once the box is closed
    EXPECT_TRUE(modal);
    EXPECT_EQ(caption, "tezplayerのﾊﾞｰｼﾞｮﾝ情報");
    ASSERT_EQ(labels.size(), 2);
    EXPECT_EQ(labels[0], "tezplayer Version 1.05");
    EXPECT_FALSE(labels[1].isEmpty());
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

INSTANTIATE_TEST_SUITE_P(Ways, AboutBoxTest,
                         ::testing::Values(Closing::kOk, Closing::kEnter, Closing::kEscape,
                                           Closing::kCloseBox));

TEST_F(WindowTest, ExitClosesWithoutAsking) {
    ASSERT_TRUE(frame->isVisible());
    RunCommand(ids::kAppExit);
    EXPECT_FALSE(frame->isVisible());
    EXPECT_TRUE(prompts.messages.isEmpty());
}

TEST_F(WindowTest, FormFitsTheFrame) {
    EXPECT_EQ(view->size(), view->FormSize());
    const QRect score = view->GetDlgItem(ids::kScoreBox)->geometry();
    EXPECT_TRUE(view->rect().contains(score));
}

// A file named on the command line becomes the document's title only: the form stays as
// after a plain start.
TEST(CommandLine, NamedFileSetsTheTitleButIsNotRead) {
    ScratchDir scratch;
    const std::string path = scratch.Write("named.tez", "I0 K60 V100 L120\n");
    RecordingDevices devices;
    ScriptedPrompts prompts;
    CTezplayerApp app(prompts, devices);
    ASSERT_TRUE(app.StartWithArguments({"tezplayer", QString::fromStdString(path)}));
    auto* view = static_cast<DEzazerireVuvu*>(app.MainWnd()->GetActiveView());
    EXPECT_EQ(app.MainWnd()->windowTitle(), "named.tez - tezplayer");
    EXPECT_EQ(view->Status(), "no file");
    EXPECT_EQ(view->ScoreText(), "");
    EXPECT_EQ(app.RecentFiles().Entries().value(0),
              QString::fromStdString(std::filesystem::canonical(path).string()));
    app.ExitInstance();
}

TEST(CommandLine, UnreadableFileEndsTheStartWithoutAWindow) {
    ScratchDir scratch;
    RecordingDevices devices;
    ScriptedPrompts prompts;
    CTezplayerApp app(prompts, devices);
    EXPECT_FALSE(app.StartWithArguments({"tezplayer", "no-such-file.tez"}));
    EXPECT_EQ(app.MainWnd(), nullptr);
}

TEST(RecentFiles, FileMenuListsThemAndOpensOneAsTheDocument) {
    ScratchDir scratch;
    const QString path = QString::fromStdString(scratch.Write("recent.tez", "I0 K60 V100 L120\n"));
    RecordingDevices devices;
    ScriptedPrompts prompts;
    CTezplayerApp app(prompts, devices);
    ASSERT_TRUE(app.StartWithArguments({"tezplayer", path}));
    QMenu* file = app.MainWnd()->menuBar()->actions().at(0)->menu();
    emit file->aboutToShow();
    const QList<QAction*> items = file->actions();
    const auto entry = std::find_if(items.begin(), items.end(), [](QAction* action) {
        return action->text().startsWith("&1 ");
    });
    ASSERT_NE(entry, items.end());
    EXPECT_TRUE((*entry)->text().endsWith("recent.tez"));
    EXPECT_TRUE((*entry)->isEnabled());
    EXPECT_EQ((*entry)->statusTip(), "指定のﾌｧｲﾙを開く");
    EXPECT_EQ(std::count_if(items.begin(), items.end(),
                            [](QAction* action) {
                                return action->text() == "最近使ったﾌｧｲﾙ" && action->isVisible();
                            }),
              0);

    app.OnFileNew();
    EXPECT_EQ(app.MainWnd()->windowTitle(), "無題 - tezplayer");
    (*entry)->trigger();
    EXPECT_EQ(app.MainWnd()->windowTitle(), "recent.tez - tezplayer");
    app.ExitInstance();
}

// The clipboard and undo keys of the accelerator table have no command of the program's
// own, so they do what they do in any text box.
TEST_F(WindowTest, ClipboardAndUndoKeysWorkInTheTextBoxes) {
    QLineEdit* box = StatusBox();
    QApplication::setActiveWindow(frame);
    ASSERT_TRUE(QTest::qWaitForWindowActive(frame));
    box->setFocus();
    box->setText("abc");
    box->selectAll();
    QTest::keyClick(box, Qt::Key_X, Qt::ControlModifier);
    EXPECT_EQ(box->text(), "");
    QTest::keyClick(box, Qt::Key_V, Qt::ControlModifier);
    QTest::keyClick(box, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(box->text(), "abcabc");
    QTest::keyClick(box, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(box->text(), "abc");

    // Keys of handled commands still reach their command from the box: Ctrl+N refills
    // the device list.
    DeviceList()->setCurrentIndex(2);
    QTest::keyClick(box, Qt::Key_N, Qt::ControlModifier);
    EXPECT_EQ(DeviceList()->currentIndex(), 0);
}

}  // namespace
}  // namespace tez::apptest
