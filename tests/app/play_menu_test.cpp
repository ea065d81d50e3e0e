// The Play menu: free keys, tempo and key, the sounding line's highlight, playing from the
// cursor and following the file on disk.
#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QScrollBar>
#include <QTextBlock>
#include <filesystem>
#include <fstream>
#include <set>

#include "line_highlight.h"
#include "window_fixture.h"

namespace tez::apptest {
namespace {

TEST_F(WindowTest, PlayMenuCommandsHavePromptsAndKeysNoOtherCommandUses) {
    QHash<QKeySequence, unsigned> owners;
    for (const QAction* action : frame->findChildren<QAction*>()) {
        for (const QKeySequence& keys : action->shortcuts()) {
            EXPECT_EQ(owners.value(keys, action->data().toUInt()), action->data().toUInt())
                << keys.toString().toStdString();
            owners.insert(keys, action->data().toUInt());
        }
    }
    for (QAction* item : frame->menuBar()->actions().at(1)->menu()->actions()) {
        EXPECT_TRUE(item->isSeparator() || (!item->statusTip().isEmpty() &&
                                            owners.key(item->data().toUInt()).count() == 1))
            << item->text().toStdString();
    }
}

TEST_F(WindowTest, TempoAndKeyApplyToPlayStopAndShowWhileTheyDifferFromTheScore) {
    const struct {
        std::vector<unsigned> commands;
        const char* shown;  // "" hides the pane
        double tempoFactor;
        std::int32_t transpose;
    } cases[] = {
        {std::vector<unsigned>(12, ids::kTempoSlower), "ﾃﾝﾎﾟ×0.25", 0.25, 0},
        {{ids::kTempoFaster, ids::kTransposeDown}, "ﾃﾝﾎﾟ×0.3 移調-1", 0.3, -1},
        {{ids::kPlainTempoAndKey}, "", 1.0, 0},
        {std::vector<unsigned>(30, ids::kTransposeUp), "移調+24", 1.0, 24},
    };
    OpenScore(scratch.Write("a.tez", "I0 K60 V100 L10\n"));
    for (const auto& c : cases) {
        for (unsigned id : c.commands) {
            RunCommand(id);
        }
        EXPECT_EQ(frame->PlaybackPane()->text(), QString::fromUtf8(c.shown));
        EXPECT_EQ(frame->PlaybackPane()->isVisibleTo(frame), *c.shown != '\0') << c.shown;
        Click(ids::kPlayStopButton);
        ASSERT_TRUE(test::WaitUntil([] { return g_playing == 1; }));
        const PlaybackOptions& played = view->Playback().LatestOptions();
        EXPECT_EQ(std::pair(played.tempoFactor, played.transpose),
                  std::pair(c.tempoFactor, c.transpose));
        Click(ids::kPlayStopButton);
    }
}

TEST_F(WindowTest, HighlightScrollsToItsLineWithoutEditingTheText) {
    OpenScore(scratch.Write("long.tez", std::string(200 * 15, '\n')));
    auto* box = static_cast<QPlainTextEdit*>(view->GetDlgItem(ids::kScoreBox));
    for (int line : {150, 9999, 0}) {
        HighlightLine(*box, 150);
        EXPECT_GT(box->verticalScrollBar()->value(), 100);
        HighlightLine(*box, line);
        EXPECT_EQ(HighlightedLine(*box), line == 150 ? 150 : 0);
    }
    EXPECT_FALSE(box->document()->isModified());
    EXPECT_FALSE(box->document()->isUndoAvailable());
}

// The view follows the sounding line until the musician scrolls away, and again from the
// next start.
TEST_F(WindowTest, TheViewFollowsTheMusicUntilTheMusicianScrolls) {
    std::string score;
    for (int i = 0; i < 200; ++i) {
        score += "I30 K60 V90 L20\n";
    }
    OpenScore(scratch.Write("long.tez", score));
    auto* box = static_cast<QPlainTextEdit*>(view->GetDlgItem(ids::kScoreBox));
    QScrollBar* bar = box->verticalScrollBar();
    Click(ids::kPlayStopButton);
    ASSERT_TRUE(QTest::qWaitFor([this] { return view->SoundingLine() >= 2; }));
    bar->triggerAction(QAbstractSlider::SliderToMaximum);
    const int line = view->SoundingLine();
    ASSERT_TRUE(QTest::qWaitFor([&] { return view->SoundingLine() > line + 2; }));
    EXPECT_EQ(bar->value(), bar->maximum());
    Click(ids::kPlayStopButton);
    Click(ids::kPlayStopButton);
    EXPECT_TRUE(QTest::qWaitFor([&] { return bar->value() < bar->maximum() / 2; }));
    Click(ids::kPlayStopButton);
}

TEST_F(WindowTest, FollowingTheFileIsOffAtFirstAndRememberedInTheSettings) {
    EXPECT_FALSE(view->FollowsFile());
    RunCommand(ids::kFollowFile);
    CTezplayerApp second(prompts, devices);
    ASSERT_TRUE(second.StartWithArguments({"tezplayer"}));
    EXPECT_TRUE(static_cast<DEzazerireVuvu*>(second.MainWnd()->GetActiveView())->FollowsFile());
    EXPECT_TRUE(second.MainWnd()->CommandAction(ids::kFollowFile)->isChecked());
    second.ExitInstance();
    RunCommand(ids::kFollowFile);  // off again for the tests after this one
}

// Keys of the note-ons the `nth` opened output received (from 1), in order.
std::vector<int> NotesOfOutput(const std::vector<std::string>& events, int nth) {
    std::vector<int> keys;
    int opened = 0;
    for (const std::string& event : events) {
        opened += event.rfind("open", 0) == 0 ? 1 : 0;
        if (opened == nth && event.size() == 13 && event.rfind("send 9", 0) == 0 &&
            event.substr(11) != "00") {
            keys.push_back(std::stoi(event.substr(8, 2), nullptr, 16));
        }
    }
    return keys;
}

// Keys 60, 62, 64, ... a beat apart, one a line.
constexpr const char* kScale =
    "I0 K60 V90 L60\nI120 K62 V90 L60\nI120 K64 V90 L60\nI120 K65 V90 L60\n"
    "I120 K67 V90 L60\nI120 K69 V90 L60\nI120 K71 V90 L60\nI120 K72 V90 L60\n";
const std::string kScaleHigher =
    "I0 K72 V90 L60\nI120 K74 V90 L60\nI120 K76 V90 L60\nI120 K77 V90 L60\nI120 K79 V90 L60\n"
    "I120 K81 V90 L60\n";

TEST_F(WindowTest, SelectedLinesLoopWithTheSoundingLineHighlighted) {
    OpenScore(scratch.Write("a.tez", kScale));
    auto* box = static_cast<QPlainTextEdit*>(view->GetDlgItem(ids::kScoreBox));
    QTextCursor lines(box->document()->findBlockByNumber(1));
    lines.setPosition(box->document()->findBlockByNumber(3).position(), QTextCursor::KeepAnchor);
    box->setTextCursor(lines);  // lines 2 and 3, up to the start of line 4
    RunCommand(ids::kPlayFromCursor);
    EXPECT_TRUE(QTest::qWaitFor([this] { return view->SoundingLine() == 3; }));
    EXPECT_TRUE(
        QTest::qWaitFor([this] { return NotesOfOutput(devices.Events(), 1).size() >= 4; }, 10000));
    Click(ids::kPlayStopButton);
    EXPECT_TRUE(QTest::qWaitFor([this] { return view->SoundingLine() == 0; }));
    const std::vector<int> looped = NotesOfOutput(devices.Events(), 1);
    EXPECT_EQ(std::vector<int>(looped.begin(), looped.begin() + 4),
              (std::vector<int>{62, 64, 62, 64}));
}

// Only a line feed ends a score line; the box also breaks lines at a carriage return.
TEST_F(WindowTest, BoxLinesAreMappedToScoreLines) {
    OpenScore(scratch.Write("cr.tez", "I0 K60 V90 L60\rI0 K62 V90 L60\nI120 K64 V90 L960\n"));
    auto* box = static_cast<QPlainTextEdit*>(view->GetDlgItem(ids::kScoreBox));
    box->setTextCursor(QTextCursor(box->document()->findBlockByNumber(2)));
    RunCommand(ids::kPlayFromCursor);
    EXPECT_EQ(view->Playback().LatestOptions().fromTick, 240u);
    EXPECT_TRUE(QTest::qWaitFor([this] { return view->SoundingLine() == 2; }));
    Click(ids::kPlayStopButton);
}

// Lines typed above the sounding line move its highlight with it.
TEST_F(WindowTest, HighlightStaysOnTheSoundingLineThroughEditsAbove) {
    OpenScore(scratch.Write("a.tez", "I0 K60 V90 L60\nI120 K62 V90 L60\nI120 K64 V90 L9600\n"));
    auto* box = static_cast<QPlainTextEdit*>(view->GetDlgItem(ids::kScoreBox));
    box->setTextCursor(QTextCursor(box->document()->findBlockByNumber(2)));
    RunCommand(ids::kPlayFromCursor);
    ASSERT_TRUE(QTest::qWaitFor([this] { return view->SoundingLine() == 3; }));
    box->moveCursor(QTextCursor::Start);
    for (const char* typed : {"typed", "above"}) {
        QTest::keyClicks(box, typed);
        QTest::keyClick(box, Qt::Key_Return);
    }
    EXPECT_TRUE(QTest::qWaitFor([&] { return HighlightedLine(*box) == 5; }, 10000));
    EXPECT_EQ(view->SoundingLine(), 3);
    Click(ids::kPlayStopButton);
}

// A loop of lines 3 to 5 plays the same music after a save moves them, and ends when a save
// removes them.
TEST_F(WindowTest, ALoopFollowsItsLinesThroughSaves) {
    const std::string path = scratch.Write("a.tez", kScale);
    OpenScore(path);
    RunCommand(ids::kFollowFile);
    auto* box = static_cast<QPlainTextEdit*>(view->GetDlgItem(ids::kScoreBox));
    QTextCursor lines(box->document()->findBlockByNumber(2));
    lines.setPosition(box->document()->findBlockByNumber(4).position() + 3,
                      QTextCursor::KeepAnchor);
    box->setTextCursor(lines);
    RunCommand(ids::kPlayFromCursor);
    ASSERT_TRUE(QTest::qWaitFor([this] { return view->SoundingLine() == 4; }));
    std::ofstream(path, std::ios::trunc) << "I0 K40 V90 L60\nI120 K41 V90 L60\n" << kScale;
    ASSERT_TRUE(
        QTest::qWaitFor([this] { return view->Playback().LatestOptions().fromTick == 480; }));
    const std::size_t before = NotesOfOutput(devices.Events(), 1).size();
    const auto keysSince = [&] {
        const std::vector<int> keys = NotesOfOutput(devices.Events(), 1);
        return std::set<int>(keys.begin() + static_cast<std::ptrdiff_t>(before), keys.end());
    };
    // Two passes of the loop: its three keys and no other.
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return NotesOfOutput(devices.Events(), 1).size() >= before + 6; }, 10000));
    EXPECT_EQ(keysSince(), (std::set<int>{64, 65, 67}));
    std::ofstream(path, std::ios::trunc) << "I0 K40 V90 L60\n";
    EXPECT_TRUE(QTest::qWaitFor([this] { return StatusBox()->text() == "loop lines gone"; }));
    Click(ids::kPlayStopButton);
    RunCommand(ids::kFollowFile);
}

// The box saved to the score (its mode kept) is heard at once, from where the music was;
// the unsaved pane shows while the box differs from the file.
TEST_F(WindowTest, SavingTheBoxWritesTheScoreAndPlaysItOnWhenFollowed) {
    namespace fs = std::filesystem;
    const std::string path = scratch.Write("a.tez", kScale);
    fs::permissions(path, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    OpenScore(path);
    RunCommand(ids::kFollowFile);
    Click(ids::kPlayStopButton);
    ASSERT_TRUE(QTest::qWaitFor([this] { return view->SoundingLine() == 3; }));
    auto* box = static_cast<QPlainTextEdit*>(view->GetDlgItem(ids::kScoreBox));
    box->selectAll();
    box->insertPlainText(QString::fromStdString(kScaleHigher));
    EXPECT_TRUE(frame->UnsavedPane()->isVisibleTo(frame));
    QTest::keySequence(box, QKeySequence(QStringLiteral("Ctrl+Shift+S")));
    EXPECT_EQ(ReadFileBytes(path), kScaleHigher);
    EXPECT_EQ(fs::status(path).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    EXPECT_FALSE(frame->UnsavedPane()->isVisibleTo(frame));
    ASSERT_TRUE(QTest::qWaitFor([this] {
        const std::vector<int> keys = NotesOfOutput(devices.Events(), 1);
        return !keys.empty() && keys.back() >= 72;
    }));
    const std::vector<int> keys = NotesOfOutput(devices.Events(), 1);
    EXPECT_GE(*std::find_if(keys.begin(), keys.end(), [](int k) { return k >= 72; }), 76);
    Click(ids::kPlayStopButton);
    RunCommand(ids::kFollowFile);
}

// A change of mode alone can make a save that could not be read readable.
TEST_F(WindowTest, FollowingNoticesAChangeOfMode) {
    const std::string path = scratch.Write("a.tez", kScale);
    OpenScore(path);
    RunCommand(ids::kFollowFile);
    StatusBox()->setText("typed");
    std::filesystem::permissions(
        path, std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
    EXPECT_TRUE(QTest::qWaitFor([this] { return StatusBox()->text() == "file opened"; }));
    RunCommand(ids::kFollowFile);
}

enum class Save { kInPlace, kRenamedOver, kUnreadable };

class FollowTest : public WindowTest, public ::testing::WithParamInterface<Save> {};

// While playing, a save goes on in the new version (an octave higher, two lines shorter) from the
// same place; a save that cannot be read is reported in the status box (no message box to
// stack up) and the old version plays on.
TEST_P(FollowTest, ASaveReloadsAndContinuesThePlayback) {
    const std::string path = scratch.Write("a.tez", kScale);
    OpenScore(path);
    RunCommand(ids::kFollowFile);
    Click(ids::kPlayStopButton);
    ASSERT_TRUE(QTest::qWaitFor([this] { return view->SoundingLine() == 3; }));
    if (GetParam() == Save::kInPlace) {
        std::ofstream(path, std::ios::trunc) << kScaleHigher;
    } else if (GetParam() == Save::kRenamedOver) {
        std::filesystem::rename(scratch.Write("a.tez~", kScaleHigher), path);
    } else {
        std::filesystem::remove(path);
        std::filesystem::create_directory(path);
    }
    const bool readable = GetParam() != Save::kUnreadable;
    // The new version's keys are 72 and up; it plays on the same output.
    const auto newKeys = [this] {
        const std::vector<int> keys = NotesOfOutput(devices.Events(), 1);
        return std::vector<int>(
            std::find_if(keys.begin(), keys.end(), [](int k) { return k >= 72; }), keys.end());
    };
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return readable ? !newKeys().empty() : StatusBox()->text() == "file open error"; }));
    EXPECT_EQ(prompts.messages, QStringList{});
    EXPECT_EQ(ScoreBox(), QString::fromStdString(readable ? kScaleHigher : kScale));
    if (readable) {
        // Neither the old version nor the new one from its start.
        EXPECT_GE(newKeys().at(0), 76);
    } else {
        EXPECT_TRUE(view->Playback().IsPlaying());
    }
    // Writing "tez_p.smf" beside the score is no save of it.
    QTest::qWait(ScoreFollower::kSettleMs * 3);
    EXPECT_EQ(devices.OpenAttempts(), 1);
    Click(ids::kPlayStopButton);
    RunCommand(ids::kFollowFile);
}

INSTANTIATE_TEST_SUITE_P(Ways, FollowTest,
                         ::testing::Values(Save::kInPlace, Save::kRenamedOver, Save::kUnreadable));

}  // namespace
}  // namespace tez::apptest
