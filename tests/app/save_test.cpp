// Saving the score box: to the file it was read from, never over a newer version without a
// question, a new score through Save As, and a question before typing would be lost.
#include <QTextBlock>
#include <QTextCursor>
#include <fstream>

#include "score_encoding.h"
#include "window_fixture.h"

namespace tez::apptest {
namespace {

constexpr const char* kFirst = "I0 K60 V100 L120\n";
constexpr const char* kSecond = "I0 K67 V80 L30\n";

class SaveTest : public WindowTest {
  protected:
    QPlainTextEdit* Box() const {
        return static_cast<QPlainTextEdit*>(view->GetDlgItem(ids::kScoreBox));
    }
    void TypeLine(const char* text) {
        Box()->moveCursor(QTextCursor::End);
        Box()->insertPlainText(QString::fromUtf8(text));
    }
    void Save() { RunCommand(ids::kSaveToScore); }
    // Replaces the text of box line `block` (from 0).
    void ReplaceLine(int block, const QString& text) {
        QTextCursor line(Box()->document()->findBlockByNumber(block));
        line.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
        line.insertText(text);
    }
    // How many note-ons of `key` the device was sent.
    int NoteOnsOf(int key) const {
        const std::string sent =
            QStringLiteral(" %1 ").arg(key, 2, 16, QLatin1Char('0')).toUpper().toStdString();
        int count = 0;
        for (const std::string& event : devices.Events()) {
            count +=
                event.starts_with("send 9") && event.find(sent) == 7 && !event.ends_with(" 00");
        }
        return count;
    }
};

// Ctrl+Z after an Open cannot bring back the score before it, so a save after it writes
// the opened file's own text to that file.
TEST_F(SaveTest, UndoAfterOpenStaysInTheOpenedScore) {
    const std::string a = scratch.Write("a.tez", kFirst);
    const std::string b = scratch.Write("b.tez", kSecond);
    OpenScore(a);
    TypeLine("I0 K72 V90 L60\n");
    prompts.Answer("&Discard");
    OpenScore(b);
    Box()->document()->undo();
    EXPECT_EQ(ScoreBox(), kSecond);
    Save();
    EXPECT_EQ(ReadFileBytes(b), kSecond);
    EXPECT_EQ(ReadFileBytes(a), kFirst);
}

// A version written by another program since the box read the file is not overwritten
// without a question; each answer does what it says.
TEST_F(SaveTest, ASaveAfterAnOutsideSaveAsksFirst) {
    const std::string outside = std::string(kFirst) + "I120 K64 V90 L60\n";
    const std::string typed = std::string(kFirst) + "I0 K72 V90 L60\n";
    const struct {
        const char* answer;
        std::string file;  // afterwards
        std::string box;
    } cases[] = {
        {"&Overwrite", typed, typed},
        {"&Reload", outside, outside},
        {"Cancel", outside, typed},
    };
    for (const auto& c : cases) {
        const std::string path = scratch.Write("a.tez", kFirst);
        prompts.Answer("&Discard");
        OpenScore(path);
        prompts.ForgetAnswers();
        TypeLine("I0 K72 V90 L60\n");
        std::ofstream(path, std::ios::app) << "I120 K64 V90 L60\n";
        prompts.questions.clear();
        prompts.Answer(c.answer);
        Save();
        EXPECT_EQ(prompts.questions, QStringList{kQuestionFileChanged}) << c.answer;
        EXPECT_EQ(ReadFileBytes(path), c.file) << c.answer;
        EXPECT_EQ(ScoreBox(), QString::fromStdString(c.box)) << c.answer;
    }
    // A file only touched, or saved with the same text, holds nothing to lose.
    const std::string path = scratch.Write("b.tez", kFirst);
    prompts.Answer("&Discard");
    OpenScore(path);
    scratch.Write("b.tez", kFirst);
    TypeLine("I0 K72 V90 L60\n");
    prompts.questions.clear();
    Save();
    EXPECT_EQ(prompts.questions, QStringList{});
    EXPECT_EQ(ReadFileBytes(path), typed);
}

// A score typed into a fresh window is saved through Save As, and from then on to that file.
TEST_F(SaveTest, ANewScoreIsSavedAsANamedFile) {
    const std::string path = (scratch.Path() / "new.tez").string();
    TypeLine(kFirst);
    prompts.saveAnswers.push_back(QString::fromStdString(path));
    Save();
    EXPECT_EQ(prompts.saveRequests, 1);
    EXPECT_EQ(ReadFileBytes(path), kFirst);
    EXPECT_EQ(StatusBox()->text(), "file saved");
    EXPECT_EQ(view->PathName(), path);
    TypeLine(kSecond);
    Save();
    EXPECT_EQ(prompts.saveRequests, 1);
    EXPECT_EQ(ReadFileBytes(path), std::string(kFirst) + kSecond);
    EXPECT_TRUE(prompts.messages.isEmpty());
    // Save As of an opened score leaves the file it was read from alone.
    const std::string copy = (scratch.Path() / "copy.tez").string();
    TypeLine(kSecond);
    prompts.saveAnswers.push_back(QString::fromStdString(copy));
    RunCommand(ids::kSaveAs);
    EXPECT_EQ(ReadFileBytes(path), std::string(kFirst) + kSecond);
    EXPECT_EQ(ReadFileBytes(copy), std::string(kFirst) + kSecond + kSecond);
    EXPECT_EQ(view->PathName(), copy);
}

// Open, New and Exit ask before they replace typing the file does not have, and only then;
// Cancel keeps the typing and the window as they are.
TEST_F(SaveTest, CommandsThatWouldLoseTypingAskFirst) {
    const struct {
        unsigned command;
        const char* typed;  // "" types nothing
    } cases[] = {
        {ids::kFileOpen, "I0 K72 V90 L60\n"}, {ids::kFileOpen, ""},
        {ids::kFileNew, "I0 K72 V90 L60\n"},  {ids::kFileNew, ""},
        {ids::kAppExit, "I0 K72 V90 L60\n"},  {ids::kAppExit, ""},
    };
    frame->show();
    for (const auto& c : cases) {
        const std::string path = scratch.Write("a.tez", kFirst);
        prompts.Answer("&Discard");
        OpenScore(path);
        prompts.ForgetAnswers();
        TypeLine(c.typed);
        const QString shown = ScoreBox();
        prompts.questions.clear();
        const std::size_t dialogs = prompts.requests.size();
        RunCommand(c.command);
        const bool typing = *c.typed != '\0';
        EXPECT_EQ(prompts.questions.size(), typing ? 1 : 0) << c.command;
        if (typing) {
            EXPECT_EQ(ScoreBox(), shown) << c.command;
            EXPECT_EQ(prompts.requests.size(), dialogs) << c.command;
            EXPECT_TRUE(frame->isVisible()) << c.command;
            prompts.Answer("&Discard");
            RunCommand(c.command);
        }
        EXPECT_EQ(c.command == ids::kAppExit, !frame->isVisible()) << c.command;
        EXPECT_EQ(ReadFileBytes(path), kFirst) << c.command;
        frame->show();
    }
    // Save writes the typing first, and the command goes on.
    const std::string path = scratch.Write("a.tez", kFirst);
    prompts.Answer("&Discard");
    OpenScore(path);
    prompts.ForgetAnswers();
    TypeLine(kSecond);
    prompts.Answer("&Save");
    RunCommand(ids::kFileNew);
    EXPECT_EQ(ReadFileBytes(path), std::string(kFirst) + kSecond);
}

// A score is shown in its own encoding and saved in it: an edit of one line changes only
// that line's bytes, also where Shift_JIS writes a character two ways (ED40 and FA5C, FA4A and
// 8754) or a byte is no character at all (80, FD, a lead byte before a space).
TEST_F(SaveTest, AnEditedLineIsTheOnlyOneWhoseBytesChange) {
    const struct {
        TextEncoding encoding;
        std::string before;
        std::string after;  // line 2 edited, with a "ド" typed
    } cases[] = {
        {TextEncoding::kShiftJis,
         "\x83\x68\x83\x8c\x83\x7e \xed\x40\xfa\x4a \x80\xfd\x89 \r\nI0 K60 V100 L120\r\n"
         "I120 K62 V100 L120\n\xfa\x5c\x87\x54",
         "\x83\x68\x83\x8c\x83\x7e \xed\x40\xfa\x4a \x80\xfd\x89 \r\nI0 K67 V100 L120 \x83\x68\r\n"
         "I120 K62 V100 L120\n\xfa\x5c\x87\x54"},
        {TextEncoding::kUtf8, "\xe3\x83\x89\xe3\x83\xac\xe3\x83\x9f\nI0 K60 V100 L120\nI120\n",
         "\xe3\x83\x89\xe3\x83\xac\xe3\x83\x9f\nI0 K67 V100 L120 \xe3\x83\x89\nI120\n"},
    };
    for (const auto& c : cases) {
        const std::string path = scratch.Write("a.tez", c.before);
        prompts.Answer("&Discard");
        OpenScore(path);
        EXPECT_EQ(view->Encoding(), c.encoding);
        EXPECT_EQ(frame->EncodingPane()->isVisibleTo(frame), c.encoding != TextEncoding::kUtf8);
        EXPECT_TRUE(ScoreBox().startsWith(QStringLiteral("ドレミ"))) << ScoreBox().toStdString();
        ReplaceLine(1, QStringLiteral("I0 K67 V100 L120 ド"));
        Save();
        EXPECT_EQ(ReadFileBytes(path), c.after);
        EXPECT_TRUE(prompts.messages.isEmpty());
    }
}

// Reopened in another encoding, a score is shown and saved in it; a character the encoding
// cannot hold is saved only when the user agrees to UTF-8.
TEST_F(SaveTest, AScoreReopenedInAnotherEncodingIsSavedInIt) {
    const std::string utf8 = "\xe3\x83\x89 I0 K60 V100 L120\n";  // "ド" in UTF-8
    const std::string path = scratch.Write("a.tez", utf8);
    OpenScore(path);
    prompts.Answer("&Shift_JIS");
    RunCommand(ids::kReopenInEncoding);
    EXPECT_EQ(prompts.questions, QStringList{kQuestionReopenEncoding});
    EXPECT_EQ(view->Encoding(), TextEncoding::kShiftJis);
    EXPECT_TRUE(ScoreBox().startsWith(QStringLiteral("繝"))) << ScoreBox().toStdString();
    Save();
    EXPECT_EQ(ReadFileBytes(path), utf8);
    TypeLine("I120 K62 V100 L120 \xf0\x9f\x8e\xb5\n");  // a musical note, no Shift_JIS
    prompts.questions.clear();
    Save();
    EXPECT_EQ(prompts.questions.size(), 1);
    EXPECT_EQ(ReadFileBytes(path), utf8);
    prompts.Answer("Save as &UTF-8");
    Save();
    EXPECT_EQ(view->Encoding(), TextEncoding::kUtf8);
    // The byte that was no Shift_JIS character is still itself.
    EXPECT_EQ(ReadFileBytes(path),
              "\xe7\xb9\x9d\x89 I0 K60 V100 L120\nI120 K62 V100 L120 \xf0\x9f\x8e\xb5\n");
}

// Playing from the cursor plays what the box shows: a line typed and not saved sounds and
// is highlighted while it does, and the file stays as it was; Play/Stop plays the file. A
// box of a megabyte or more is converted on a thread of its own and plays the same.
class PlayTypingTest : public SaveTest, public ::testing::WithParamInterface<int> {};

TEST_P(PlayTypingTest, PlayingFromTheCursorPlaysTheTypingNotSaved) {
    std::string score = "I0 K60 V100 L120\nI120 K62 V100 L120\n";
    for (int line = 0; line < GetParam(); ++line) {
        score += "I120 K50 V90 L60\n";
    }
    const std::string path = scratch.Write("a.tez", score);
    OpenScore(path);
    ASSERT_TRUE(QTest::qWaitFor([this] { return !view->IsLoading(); }, 60000));
    ReplaceLine(1, QStringLiteral("I120 K72 V100 L6000"));
    Box()->setTextCursor(QTextCursor(Box()->document()->findBlockByNumber(1)));
    RunCommand(ids::kPlayFromCursor);
    EXPECT_TRUE(QTest::qWaitFor([this] { return NoteOnsOf(72) == 1; }, 30000));
    EXPECT_TRUE(QTest::qWaitFor([this] { return view->SoundingLine() == 2; }, 10000));
    EXPECT_EQ(NoteOnsOf(62) + NoteOnsOf(60), 0);
    EXPECT_TRUE(frame->UnsavedPane()->isVisibleTo(frame));
    Click(ids::kPlayStopButton);
    Click(ids::kPlayStopButton);
    EXPECT_TRUE(QTest::qWaitFor([this] { return NoteOnsOf(62) == 1; }, 10000));
    EXPECT_EQ(NoteOnsOf(72), 1);
    Click(ids::kPlayStopButton);
    EXPECT_EQ(ReadFileBytes(path), score);
}

// Two lines, and over a megabyte.
INSTANTIATE_TEST_SUITE_P(Sizes, PlayTypingTest, ::testing::Values(0, 70000));

}  // namespace
}  // namespace tez::apptest
