// File > MIDI import: a MIDI file becomes a new score in the box that F5 plays, with the
// report of what it could not keep; a file that cannot be read changes nothing.
#include <QTextCursor>
#include <QTextDocument>
#include <algorithm>
#include <filesystem>
#include <initializer_list>

#include "window_fixture.h"

namespace tez::apptest {
namespace {

std::string FileBytes(std::initializer_list<int> bytes) {
    std::string out;
    for (const int b : bytes) {
        out += static_cast<char>(b);
    }
    return out;
}

// One track at 480 ticks a quarter (500 ms at the file's default tempo): C4 a quarter long,
// then E4 for 10 s, and a pitch bend, which a score cannot hold.
const std::string kTwoNotes = FileBytes({
    'M',  'T',  'h', 'd', 0,    0,    0,    6,    0,    0,    0,    1,    0x01, 0xE0,  //
    'M',  'T',  'r', 'k', 0,    0,    0,    26,                                        //
    0x00, 0x90, 60,  100, 0x00, 0xE0, 0x00, 0x50, 0x83, 0x60, 0x80, 60,   0,           //
    0x00, 0x90, 64,  100, 0xCB, 0x00, 0x80, 64,   0,    0x00, 0xFF, 0x2F, 0x00,
});

const QString kTwoNotesScore = QStringLiteral("     K60 V100 L125  W0\nI125 K64 V100 L2500 W0\n");

class ImportTest : public WindowTest {
  protected:
    QPlainTextEdit* Box() const {
        return static_cast<QPlainTextEdit*>(view->GetDlgItem(ids::kScoreBox));
    }
    void Import(const std::filesystem::path& path) {
        prompts.answers.push_back(QString::fromStdString(path.string()));
        RunCommand(ids::kImportMidi);
    }
    bool Sounded(const char* noteOn) const {
        const std::vector<std::string> events = devices.Events();
        return std::find(events.begin(), events.end(), noteOn) != events.end();
    }
};

// The score is new: no file, so a save asks for a name, and its text is typing not saved
// that F5 plays; the undo history starts with it.
TEST_F(ImportTest, AMidiFileBecomesANewScoreThatPlays) {
    OpenScore(scratch.Write("a.tez", "I0 K72 V90 L60\n"));
    Import(scratch.Write("song.mid", kTwoNotes));
    EXPECT_EQ(ScoreBox(), kTwoNotesScore);
    EXPECT_EQ(StatusBox()->text(), "1 kind not kept");
    EXPECT_EQ(
        prompts.messages,
        QStringList{"song.mid: track 1, channel 0: warning: 1 pitch bend not kept, at tick 0"});
    EXPECT_EQ(view->PathName(), "");
    EXPECT_TRUE(frame->UnsavedPane()->isVisibleTo(frame));
    EXPECT_FALSE(Box()->document()->isUndoAvailable());
    ChooseDevice(0);  // with no file to refresh from, the box keeps the score
    EXPECT_EQ(ScoreBox(), kTwoNotesScore);

    Box()->moveCursor(QTextCursor::Start);
    RunCommand(ids::kPlayFromCursor);
    EXPECT_TRUE(QTest::qWaitFor([this] { return Sounded("send 90 40 64"); }, 10000));
    EXPECT_TRUE(Sounded("send 90 3C 64"));
    // Another import ends the playback of the score it replaces.
    prompts.Answer("&Discard");
    Import(scratch.Path() / "song.mid");
    EXPECT_TRUE(devices.WaitUntilAllClosed());
    EXPECT_EQ(ScoreBox(), kTwoNotesScore);
    EXPECT_EQ(prompts.messages.size(), 2);

    RunCommand(ids::kSaveToScore);
    EXPECT_EQ(prompts.saveRequests, 1);
    EXPECT_EQ(ReadFileBytes(scratch.Path() / "a.tez"), "I0 K72 V90 L60\n");
}

// The window's title is that of a new score, also after a score named on the command line.
TEST(ImportAfterANamedScore, TheTitleIsANewScoresTitle) {
    ScratchDir scratch;
    RecordingDevices devices;
    ScriptedPrompts prompts;
    CTezplayerApp app{prompts, devices};
    const std::string named = scratch.Write("named.tez", "I0 K60 V100 L120\n");
    ASSERT_TRUE(app.StartWithArguments({"tezplayer", QString::fromStdString(named)}));
    ASSERT_EQ(app.MainWnd()->windowTitle(), "named.tez - tezplayer");
    prompts.answers.push_back(QString::fromStdString(scratch.Write("song.mid", kTwoNotes)));
    app.MainWnd()->CommandAction(ids::kImportMidi)->trigger();
    EXPECT_EQ(app.MainWnd()->windowTitle(), "無題 - tezplayer");
    app.ExitInstance();
}

// Typing is asked about first, as Open asks; a file that gives no score says why and leaves
// the box as it was.
TEST_F(ImportTest, AFileThatCannotBeReadLeavesTheBoxAlone) {
    const struct {
        std::string path;
        const char* message;
    } cases[] = {
        {(scratch.Path() / "missing.mid").string(),
         "midi import error: missing.mid: No such file or directory"},
        {scratch.Write("short.mid", "MThd"),
         "midi import error: short.mid: not a midi file: the header chunk is incomplete"},
    };
    Box()->insertPlainText("I0 K72 V90 L60\n");
    Import(cases[0].path);
    EXPECT_EQ(prompts.questions, QStringList{kQuestionUnsavedTyping});
    EXPECT_EQ(prompts.requests.size(), 0u);
    prompts.answers.clear();
    for (const auto& c : cases) {
        prompts.messages.clear();
        prompts.Answer("&Discard");
        Import(c.path);
        EXPECT_EQ(prompts.messages, QStringList{c.message});
        EXPECT_EQ(ScoreBox(), "I0 K72 V90 L60\n");
        EXPECT_EQ(StatusBox()->text(), "no file");
    }
}

}  // namespace
}  // namespace tez::apptest
