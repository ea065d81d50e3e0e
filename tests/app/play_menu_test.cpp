// The Play menu: its commands and keys, tempo and key, the sounding line's highlight and
// following the file on disk.
#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QScrollBar>
#include <QTextBlock>
#include <filesystem>
#include <fstream>

#include "line_highlight.h"
#include "window_fixture.h"

namespace tez::apptest {
namespace {

struct CommandCase {
    unsigned id;
    const char* text;
    const char* keys;
    const char* prompt;
};

TEST_F(WindowTest, PlayMenuCommandsHaveTheirOwnKeysAndPrompts) {
    const CommandCase commands[] = {
        {ids::kPlayFromCursor, "ｶｰｿﾙ位置から演奏(&C)", "F5",
         "ｶｰｿﾙのある行から演奏、選択した行はくり返し演奏"},
        {ids::kTempoSlower, "ﾃﾝﾎﾟを下げる(&S)", "F7", "ﾃﾝﾎﾟを1割下げて演奏"},
        {ids::kTempoFaster, "ﾃﾝﾎﾟを上げる(&U)", "F8", "ﾃﾝﾎﾟを1割上げて演奏"},
        {ids::kTransposeDown, "半音下げる(&D)", "Shift+F7", "半音下げて演奏"},
        {ids::kTransposeUp, "半音上げる(&T)", "Shift+F8", "半音上げて演奏"},
        {ids::kPlainTempoAndKey, "ﾃﾝﾎﾟと移調を元に戻す(&R)", "Ctrl+F7", "ﾃﾝﾎﾟと移調を元に戻す"},
        {ids::kFollowFile, "ﾌｧｲﾙの保存を追従(&W)", "F9",
         "ﾌｧｲﾙが保存されたら読み直し、演奏を続ける"},
    };
    QStringList items;
    for (const QAction* action : frame->menuBar()->actions().at(1)->menu()->actions()) {
        items << action->text();
    }
    EXPECT_EQ(items.size(), 9);
    QHash<QKeySequence, unsigned> owners;
    for (const QAction* action : frame->findChildren<QAction*>()) {
        for (const QKeySequence& keys : action->shortcuts()) {
            EXPECT_EQ(owners.value(keys, action->data().toUInt()), action->data().toUInt())
                << keys.toString().toStdString() << " belongs to two commands";
            owners.insert(keys, action->data().toUInt());
        }
    }
    for (const CommandCase& c : commands) {
        QAction* action = frame->CommandAction(c.id);
        EXPECT_TRUE(items.contains(QString::fromUtf8(c.text))) << c.text;
        EXPECT_EQ(owners.value(QKeySequence(QString::fromLatin1(c.keys))), c.id) << c.keys;
        EXPECT_EQ(action->statusTip(), QString::fromUtf8(c.prompt));
        EXPECT_TRUE(action->isEnabled());
    }
    EXPECT_TRUE(frame->CommandAction(ids::kFollowFile)->isCheckable());
    EXPECT_FALSE(view->FollowsFile());
}

struct AdjustCase {
    std::vector<unsigned> commands;
    const char* shown;  // "" hides the pane
    double tempoFactor;
    std::int32_t transpose;
};

TEST_F(WindowTest, TempoAndKeyAreShownWhileTheyDifferFromTheScore) {
    const std::vector<unsigned> slower(12, ids::kTempoSlower), up(30, ids::kTransposeUp);
    const AdjustCase cases[] = {
        {{ids::kTempoSlower}, "ﾃﾝﾎﾟ×0.9", 0.9, 0},
        {slower, "ﾃﾝﾎﾟ×0.25", 0.25, 0},
        {{ids::kTempoFaster}, "ﾃﾝﾎﾟ×0.3", 0.3, 0},
        {{ids::kTransposeDown, ids::kPlainTempoAndKey}, "", 1.0, 0},
        {{ids::kTempoFaster, ids::kTransposeDown}, "ﾃﾝﾎﾟ×1.1 移調-1", 1.1, -1},
        {{ids::kTempoSlower, ids::kTransposeUp, ids::kTransposeUp}, "移調+1", 1.0, 1},
        {up, "移調+24", 1.0, 24},
    };
    OpenScore(scratch.Write("a.tez", "I0 K60 V100 L10\n"));
    for (const AdjustCase& c : cases) {
        for (unsigned id : c.commands) {
            RunCommand(id);
        }
        EXPECT_EQ(frame->PlaybackPane()->text(), QString::fromUtf8(c.shown));
        EXPECT_EQ(frame->PlaybackPane()->isVisibleTo(frame), *c.shown != '\0') << c.shown;
        // Play/Stop plays the whole score in the tempo and key shown.
        Click(ids::kPlayStopButton);
        ASSERT_TRUE(test::WaitUntil([] { return g_playing == 1; }));
        EXPECT_EQ(view->Playback().LatestOptions().fromTick, 0u);
        EXPECT_EQ(view->Playback().LatestOptions().toTick, kEndOfFile);
        EXPECT_DOUBLE_EQ(view->Playback().LatestOptions().tempoFactor, c.tempoFactor) << c.shown;
        EXPECT_EQ(view->Playback().LatestOptions().transpose, c.transpose);
        Click(ids::kPlayStopButton);
    }
}

TEST_F(WindowTest, HighlightShowsALineWithoutEditingTheText) {
    std::string score;
    for (int line = 1; line <= 200; ++line) {
        score += "I10 K60 V90 L5\n";
    }
    OpenScore(scratch.Write("long.tez", score));
    auto* box = static_cast<QPlainTextEdit*>(view->GetDlgItem(ids::kScoreBox));
    const QString text = box->toPlainText();
    HighlightLine(*box, 150);
    EXPECT_EQ(HighlightedLine(*box), 150);
    EXPECT_GT(box->verticalScrollBar()->value(), 100);
    EXPECT_LE(box->verticalScrollBar()->value(), 150);
    EXPECT_EQ(box->toPlainText(), text);
    EXPECT_FALSE(box->document()->isModified());
    EXPECT_FALSE(box->document()->isUndoAvailable());
    for (int gone : {0, 999}) {
        HighlightLine(*box, 150);
        HighlightLine(*box, gone);
        EXPECT_EQ(HighlightedLine(*box), 0);
    }
}

TEST_F(WindowTest, FollowingTheFileIsRememberedInTheSettings) {
    RunCommand(ids::kFollowFile);
    EXPECT_TRUE(view->FollowsFile());
    EXPECT_TRUE(frame->CommandAction(ids::kFollowFile)->isChecked());
    for (bool expected : {true, false}) {
        CTezplayerApp second(prompts, devices);
        ASSERT_TRUE(second.StartWithArguments({"tezplayer"}));
        auto* secondView = static_cast<DEzazerireVuvu*>(second.MainWnd()->GetActiveView());
        EXPECT_EQ(secondView->FollowsFile(), expected);
        EXPECT_EQ(second.MainWnd()->CommandAction(ids::kFollowFile)->isChecked(), expected);
        if (expected) {
            secondView->OnFollowFile();  // off for the next start and the tests after this one
        }
        second.ExitInstance();
    }
}

enum class Save { kInPlace, kRenamedOver, kUnreadable };

class FollowTest : public WindowTest, public ::testing::WithParamInterface<Save> {};

TEST_P(FollowTest, ASaveReloadsTheScore) {
    const std::string path = scratch.Write("a.tez", "I0 K60 V100 L10\n");
    OpenScore(path);
    RunCommand(ids::kFollowFile);
    const char* saved = "I0 K62 V100 L10\nI10 K64 V100 L10\n";
    switch (GetParam()) {
        case Save::kInPlace:
            std::ofstream(path, std::ios::trunc) << saved;
            break;
        case Save::kRenamedOver:
            scratch.Write("a.tez~", saved);
            std::filesystem::rename(path + "~", path);
            break;
        case Save::kUnreadable:
            std::filesystem::remove(path);
            std::filesystem::create_directory(path);
            break;
    }
    if (GetParam() == Save::kUnreadable) {
        EXPECT_TRUE(QTest::qWaitFor([this] { return !prompts.messages.isEmpty(); }));
        EXPECT_EQ(prompts.messages, QStringList{"file open error"});
        EXPECT_EQ(view->Notes().lastIndex, 0);
    } else {
        EXPECT_TRUE(QTest::qWaitFor([&] { return ScoreBox() == saved; }));
        EXPECT_EQ(view->Notes().lastIndex, 1);
        EXPECT_TRUE(prompts.messages.isEmpty());
    }
    RunCommand(ids::kFollowFile);
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

TEST_F(WindowTest, PlaysFromTheCursorsLineAndLoopsSelectedLines) {
    OpenScore(scratch.Write("a.tez", kScale));
    auto* box = static_cast<QPlainTextEdit*>(view->GetDlgItem(ids::kScoreBox));
    QTextCursor cursor(box->document()->findBlockByNumber(2));
    box->setTextCursor(cursor);
    RunCommand(ids::kPlayFromCursor);
    EXPECT_TRUE(QTest::qWaitFor([this] { return view->SoundingLine() == 3; }));
    Click(ids::kPlayStopButton);
    EXPECT_TRUE(QTest::qWaitFor([this] { return view->SoundingLine() == 0; }));
    EXPECT_EQ(NotesOfOutput(devices.Events(), 1).at(0), 64);

    // Lines 2 and 3, selected up to the start of line 4.
    cursor.setPosition(box->document()->findBlockByNumber(1).position());
    cursor.setPosition(box->document()->findBlockByNumber(3).position(), QTextCursor::KeepAnchor);
    box->setTextCursor(cursor);
    RunCommand(ids::kPlayFromCursor);
    EXPECT_TRUE(
        QTest::qWaitFor([this] { return NotesOfOutput(devices.Events(), 2).size() >= 4; }, 10000));
    Click(ids::kPlayStopButton);
    const std::vector<int> looped = NotesOfOutput(devices.Events(), 2);
    EXPECT_EQ(std::vector<int>(looped.begin(), looped.begin() + 4),
              (std::vector<int>{62, 64, 62, 64}));
}

TEST_F(WindowTest, ASaveWhilePlayingGoesOnInTheNewVersionFromTheSamePlace) {
    const std::string path = scratch.Write("a.tez", kScale);
    OpenScore(path);
    RunCommand(ids::kFollowFile);
    Click(ids::kPlayStopButton);
    ASSERT_TRUE(QTest::qWaitFor([this] { return view->SoundingLine() == 3; }));
    // An octave higher, in the same rhythm.
    std::string higher = kScale;
    for (std::size_t at = higher.find('K'); at != std::string::npos;
         at = higher.find('K', at + 1)) {
        higher.replace(at + 1, 2, std::to_string(std::stoi(higher.substr(at + 1, 2)) + 12));
    }
    std::ofstream(path, std::ios::trunc) << higher;
    ASSERT_TRUE(QTest::qWaitFor([this] { return !NotesOfOutput(devices.Events(), 2).empty(); }));
    Click(ids::kPlayStopButton);
    RunCommand(ids::kFollowFile);
    // Neither the old version nor the start of the new one again.
    EXPECT_GE(NotesOfOutput(devices.Events(), 2).at(0), 76);
}

INSTANTIATE_TEST_SUITE_P(Ways, FollowTest,
                         ::testing::Values(Save::kInPlace, Save::kRenamedOver, Save::kUnreadable));

}  // namespace
}  // namespace tez::apptest
