// Saving the score box: to the file it was read from, never over a newer version without a
// question, a new score through Save As, and a question before typing would be lost.
#include <QTextBlock>
#include <QTextCursor>
#include <fstream>

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

}  // namespace
}  // namespace tez::apptest
