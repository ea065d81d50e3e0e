// The score form: what Open, Reload and Play/Stop show, write and play.
#include <QTest>
#include <QTextCursor>
#include <filesystem>
#include <fstream>

#include <QScrollArea>
#include <QScrollBar>

#include "framework/dialog_units.h"
#include "kept_text.h"
#include "score/smf_writer.h"
#include "window_fixture.h"

namespace tez::apptest {
namespace {

constexpr const char* kScore = "I0 K60 V100 L120\r\nI120 K64 V90 L60\n";
constexpr const char* kOtherScore = "I0 K67 V80 L30\n";
constexpr const char* kLongScore = "I0 K60 V100 L5000\n";

std::string MidiFileOf(const std::string& score) {
    NoteTable table;
    ReadScoreText(table, score, nullptr);
    const std::vector<std::uint8_t> bytes = BuildScoreMidiFile(table, nullptr);
    return std::string(bytes.begin(), bytes.end());
}

// The box shows a carriage return and line feed as one line break.
QString AsShown(const std::string& text) {
    return QString::fromStdString(text).remove(u'\r');
}

TEST_F(WindowTest, OpenShowsTheFileAndWritesItsMidiFile) {
    OpenScore(scratch.Write("a.tez", kScore));
    ASSERT_EQ(prompts.requests.size(), 1u);
    EXPECT_EQ(prompts.requests[0].defaultSuffix, "tez");
    EXPECT_EQ(prompts.requests[0].initialName, "*.tez");
    EXPECT_EQ(prompts.requests[0].filter, "");
    EXPECT_EQ(ScoreBox(), AsShown(kScore));
    EXPECT_EQ(StatusBox()->text(), "file opened");
    EXPECT_EQ(ReadFileBytes("tez_p.smf"), MidiFileOf(kScore));
    EXPECT_TRUE(prompts.messages.isEmpty());
    // The framework's own open never runs: the document keeps its title.
    EXPECT_EQ(frame->windowTitle(), "無題 - tezplayer");
}

// The form starts empty with the synthesizer chosen; Open cancelled and Reload with no
// earlier file are reported.
TEST_F(WindowTest, StartThenCancelOrReloadWithNoEarlierFile) {
    ASSERT_EQ(DeviceList()->count(), 3);
    for (int entry = 0; entry < 3; ++entry) {
        EXPECT_EQ(DeviceList()->itemText(entry), QStringLiteral("device %1").arg(entry - 1));
    }
    EXPECT_EQ(DeviceList()->currentIndex(), 0);
    RunCommand(ids::kFileOpen);
    Click(ids::kReloadButton);
    EXPECT_EQ(prompts.messages, (QStringList{"file open error", "filename is empty."}));
    EXPECT_EQ(ScoreBox(), "");
    EXPECT_EQ(StatusBox()->text(), "no file");
    EXPECT_FALSE(std::filesystem::exists("tez_p.smf"));
}

TEST_F(WindowTest, CancelAfterALoadEmptiesTheTextKeepsTheStatusAndConvertsAgain) {
    const std::string path = scratch.Write("a.tez", kScore);
    OpenScore(path);
    StatusBox()->setText("typed by the user");
    scratch.Write("a.tez", kOtherScore);
    RunCommand(ids::kFileOpen);
    EXPECT_EQ(ScoreBox(), "");
    EXPECT_EQ(StatusBox()->text(), "typed by the user");
    EXPECT_EQ(ReadFileBytes("tez_p.smf"), MidiFileOf(kOtherScore));
    EXPECT_TRUE(prompts.messages.isEmpty());
}

TEST_F(WindowTest, MissingFileReportsAndReloadThenTriesTheSameName) {
    OpenScore(scratch.Write("a.tez", kScore));
    const std::string missing = (scratch.Path() / "missing.tez").string();
    OpenScore(missing);
    EXPECT_EQ(prompts.messages, QStringList{"file open error"});
    // The boxes are not refreshed after the failed open.
    EXPECT_EQ(ScoreBox(), AsShown(kScore));
    EXPECT_EQ(view->PathName(), missing);
    EXPECT_EQ(ReadFileBytes("tez_p.smf"), MidiFileOf(kScore));

    Click(ids::kReloadButton);
    EXPECT_EQ(prompts.messages, (QStringList{"file open error", "file open error"}));
}

TEST_F(WindowTest, ReloadShowsAndConvertsTheFileAsItIsNowOnDisk) {
    OpenScore(scratch.Write("a.tez", kScore));
    scratch.Write("a.tez", kOtherScore);
    Click(ids::kReloadButton);
    EXPECT_EQ(ScoreBox(), AsShown(kOtherScore));
    EXPECT_EQ(ReadFileBytes("tez_p.smf"), MidiFileOf(kOtherScore));
}

// The form's own refresh shows the score as read, as one step that Ctrl+Z takes back; the
// commands added to it leave what is typed where it is. A large score, whose copy beside the
// box is kept compressed, the same.
TEST_F(WindowTest, TypingIsReplacedOnlyByTheFormsRefreshAndNeverLost) {
    const struct {
        std::vector<unsigned> commands;  // 0: the Play/Stop button
        bool refreshed;
    } cases[] = {{{ids::kPlayFromCursor}, false},
                 {{ids::kPlayFromCursor, ids::kTempoFaster, ids::kTransposeUp}, false},
                 {{0}, true}};
    std::string large = kLongScore;
    while (large.size() <= KeptText::kCompactBytes) {
        large += "I0" + std::string(100, ' ') + "\r\n";
    }
    auto* box = static_cast<QPlainTextEdit*>(view->GetDlgItem(ids::kScoreBox));
    for (const std::string& score : {std::string(kLongScore), large}) {
        OpenScore(scratch.Write("a.tez", score));
        ASSERT_TRUE(QTest::qWaitFor([this] { return !view->IsLoading(); }, 20000));
        for (const auto& c : cases) {
            box->moveCursor(QTextCursor::Start);
            QTest::keyClicks(box, "typed ");
            const QString typed = ScoreBox();
            const int opened = devices.OpenAttempts();
            for (unsigned id : c.commands) {
                id == 0 ? Click(ids::kPlayStopButton) : RunCommand(id);
            }
            // The playback opens the device once; each change goes on in its own player.
            EXPECT_TRUE(
                QTest::qWaitFor([&] { return devices.OpenAttempts() == opened + 1; }, 10000))
                << c.commands.size() << " commands, " << devices.OpenAttempts() - opened
                << " opens";
            EXPECT_EQ(ScoreBox(), c.refreshed ? AsShown(score) : typed);
            QTest::keySequence(box, QKeySequence::Undo);
            EXPECT_EQ(ScoreBox(), c.refreshed ? typed : typed.sliced(6)) << c.commands.size();
            box->document()->undo();
            EXPECT_EQ(ScoreBox(), AsShown(score));
            ChooseDevice(0);
            // The device change stops the playback; the next case starts from no playback.
            ASSERT_TRUE(
                QTest::qWaitFor([this] { return !view->Playback().IsWorkerRunning(); }, 10000));
        }
        EXPECT_EQ(view->ScoreText(), score);
    }
}

// A new score has no file to refresh from: the device drop-down and Reload leave its typing
// as it is, still unsaved.
TEST_F(WindowTest, ANewScoresTypingOutlivesTheFormsRefresh) {
    const struct {
        bool reloadFirst;
        QStringList messages;
    } cases[] = {{false, {}}, {true, {"filename is empty."}}};
    auto* box = static_cast<QPlainTextEdit*>(view->GetDlgItem(ids::kScoreBox));
    for (const auto& c : cases) {
        box->clear();
        prompts.messages.clear();
        QTest::keyClicks(box, "I0 K60 V90 L60");
        if (c.reloadFirst) {
            Click(ids::kReloadButton);
        }
        ChooseDevice(1);
        ChooseDevice(0);
        EXPECT_EQ(ScoreBox(), "I0 K60 V90 L60") << c.reloadFirst;
        EXPECT_TRUE(box->document()->isModified());
        EXPECT_EQ(prompts.messages, c.messages);
    }
}

// The form as its template lays it out at its own size; a smaller window scrolls it, a
// larger one gives the score box the room and leaves the controls above in their places.
TEST_F(WindowTest, TheFormFitsTheWindow) {
    const struct {
        int addedWidth, addedHeight;
        bool scrolls;
    } cases[] = {{0, 0, false}, {-100, -50, true}, {300, 200, false}};
    auto* area = static_cast<QScrollArea*>(frame->centralWidget());
    const DialogUnits units(view->font());
    for (const auto& c : cases) {
        frame->ResizeToFitClient(view->FormSize() + QSize(c.addedWidth, c.addedHeight), false);
        QApplication::processEvents();
        EXPECT_EQ(area->horizontalScrollBar()->maximum() > 0, c.scrolls) << c.addedWidth;
        const QSize grown(std::max(0, c.addedWidth), std::max(0, c.addedHeight));
        EXPECT_EQ(view->GetDlgItem(ids::kScoreBox)->geometry(),
                  units.ToPixels(7, 27, 306, 166).adjusted(0, 0, grown.width(), grown.height()));
        EXPECT_EQ(view->GetDlgItem(ids::kReloadButton)->geometry(), units.ToPixels(53, 7, 44, 14));
    }
}

// A large score shows its first lines at once; the rest of the text and the conversion
// follow while the window goes on answering.
TEST_F(WindowTest, ALargeScoreOpensWithoutHoldingTheWindowUp) {
    std::string score;
    for (int i = 0; i < 70000; ++i) {
        score += "I120 K60 V90 L110\n";
    }
    OpenScore(scratch.Write("large.tez", score));
    EXPECT_TRUE(view->IsLoading());
    EXPECT_GT(ScoreBox().size(), 0);
    EXPECT_LT(ScoreBox().size(), static_cast<qsizetype>(score.size()));
    ASSERT_TRUE(QTest::qWaitFor([this] { return !view->IsLoading(); }, 20000));
    EXPECT_EQ(ScoreBox(), QString::fromStdString(score));
    EXPECT_EQ(ReadFileBytes("tez_p.smf"), MidiFileOf(score));
}

TEST_F(WindowTest, ScoreWithoutRecordsCannotBePlayed) {
    OpenScore(scratch.Write("a.tez", "\n\n"));
    Click(ids::kPlayStopButton);
    EXPECT_EQ(prompts.messages, QStringList{"no tezdata."});
    EXPECT_EQ(StatusBox()->text(), "file opened");
    EXPECT_FALSE(g_playThread.IsHeld());
    EXPECT_EQ(devices.OpenAttempts(), 0);
}

TEST_F(WindowTest, UnwritableMidiFileIsReported) {
    std::filesystem::create_directory("tez_p.smf");
    OpenScore(scratch.Write("a.tez", kScore));
    EXPECT_EQ(prompts.messages, QStringList{"tez_p.smf write error"});
    EXPECT_EQ(StatusBox()->text(), "file opened");
}

// The keys a keyboard user moves with: Ctrl+Tab types a tab, Tab follows the template
// order out of the score box (status box, then Reload), Enter presses the focused button.
TEST_F(WindowTest, TabMovesOnAndEnterPressesTheFocusedButton) {
    frame->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(frame));
    view->GetDlgItem(ids::kScoreBox)->setFocus();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab, Qt::ControlModifier);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), StatusBox());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    EXPECT_EQ(ScoreBox(), "\t");
    EXPECT_EQ(prompts.messages, QStringList{"filename is empty."});
}

// The playing worker has its own copy of the music: opening another score while it plays
// leaves that playback alone, and the next Play plays the new score.
TEST_F(WindowTest, OpeningAScoreWhilePlayingChangesOnlyTheNextPlayback) {
    OpenScore(scratch.Write("a.tez", kLongScore));
    Click(ids::kPlayStopButton);
    ASSERT_TRUE(devices.WaitForSends(1));
    OpenScore(scratch.Write("b.tez", kOtherScore));
    EXPECT_EQ(ScoreBox(), AsShown(kOtherScore));
    EXPECT_EQ(ReadFileBytes("tez_p.smf"), MidiFileOf(kOtherScore));
    EXPECT_EQ(StatusBox()->text(), "file opened");
    EXPECT_EQ(devices.LiveOutputs(), 1);
    Click(ids::kPlayStopButton);
    EXPECT_TRUE(devices.WaitUntilAllClosed());
    Click(ids::kPlayStopButton);
    ASSERT_TRUE(test::WaitUntil([&] {
        const auto outputs = devices.Outputs();
        return outputs.size() == 2 && outputs[1].noteOns == 1;
    }));
    const auto events = devices.Events();
    const auto secondOpen = std::find(events.rbegin(), events.rend(), "open -1").base();
    EXPECT_EQ(*std::find_if(secondOpen, events.end(),
                            [](const std::string& e) { return e.starts_with("send 9"); }),
              "send 91 43 50");
}

TEST_F(WindowTest, ClosingTheWindowWhilePlayingResetsTheDevice) {
    OpenScore(scratch.Write("a.tez", kLongScore));
    Click(ids::kPlayStopButton);
    ASSERT_TRUE(devices.WaitForOpenAttempts(1));
    RunCommand(ids::kAppExit);
    app.ExitInstance();
    EXPECT_EQ(devices.LiveOutputs(), 0);
    EXPECT_TRUE(devices.Outputs().at(0).resetBeforeClose);
    EXPECT_FALSE(g_playThread.IsHeld());
}

}  // namespace
}  // namespace tez::apptest
