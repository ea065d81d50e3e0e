// Which score line each line of the score box shows, kept in the text blocks' user states:
// a block keeps its state through edits around and inside it, so typing above the line that
// sounds leaves the highlight on that line. Lines typed since the box last showed the file
// carry no score line. Tagged blocks follow the score's order, so a line is found by halving.
#pragma once

#include <QString>
#include <cstdint>
#include <optional>
#include <vector>

class QPlainTextEdit;
class QTextDocument;

namespace tez {

class BoxFiller;

// The text as the box holds it: each line break (line feed, carriage return or both) one
// character, so that its positions are the document's.
QString AsBoxText(QString text);

// Makes the box show `text` (as AsBoxText gives it) by replacing only the part that differs:
// the lines before and after the change stay the same blocks. `undoable` replaces it as one
// step of the undo history; otherwise `filler` replaces it (the history starts afresh), and
// true means it goes on a piece at a time.
bool ReplaceChangedText(QPlainTextEdit& box, QString text, bool undoable, BoxFiller& filler);

// Lines the box held before a replacement, found again after it.
struct MarkedLines {
    std::int32_t first = 0;
    std::int32_t last = 0;
};

// Marks the blocks that show score lines `first` to `last`, for TagScoreLines to find again.
void MarkLines(QTextDocument& document, std::int32_t first, std::int32_t last);
// The same for blocks `firstBlock` to `lastBlock` (from 0).
void MarkBlocks(QTextDocument& document, int firstBlock, int lastBlock);

// Tags every block with the score line it shows, given the blocks (from 0) whose line break
// the score does not count (see KeptText::BreaksWithinLines). Answers the new score lines of
// the marked lines when both ends are still there.
std::optional<MarkedLines> TagScoreLines(QTextDocument& document,
                                         const std::vector<std::int32_t>& breaksWithinLines);

// The block (from 0) where score line `line` starts; -1 when no block shows it.
int BlockOfScoreLine(const QTextDocument& document, std::int32_t line);
// The score line of block `block`, or of the nearest tagged block after it (`before`: before
// it); past the last line, the line after the last.
std::int32_t ScoreLineOfBlock(const QTextDocument& document, int block, bool before = false);

}  // namespace tez
