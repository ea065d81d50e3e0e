#include "line_tags.h"

#include <QPlainTextEdit>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <algorithm>

#include "box_filler.h"

namespace tez {

namespace {

// User states below -1 mark the ends of lines to find again; -1 is an untagged block.
constexpr int kUntagged = -1;
constexpr int kFirstMark = -2;
constexpr int kLastMark = -3;
constexpr int kBothMarks = -4;

// The tagged block at or after `block`, by number; -1 when there is none.
int TaggedAtOrAfter(const QTextDocument& document, int block) {
    for (QTextBlock b = document.findBlockByNumber(block); b.isValid(); b = b.next()) {
        if (b.userState() > 0) {
            return b.blockNumber();
        }
    }
    return -1;
}

}  // namespace

QString AsBoxText(QString text) {
    if (text.contains(u'\r')) {
        text.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(u'\r', u'\n');
    }
    return text.replace(QChar::ParagraphSeparator, u'\n');
}

bool ReplaceChangedText(QPlainTextEdit& box, QString text, bool undoable, BoxFiller& filler) {
    QTextDocument& document = *box.document();
    const QString old = document.toPlainText();
    const qsizetype shorter = std::min(old.size(), text.size());
    qsizetype prefix = 0;
    while (prefix < shorter && old[prefix] == text[prefix]) {
        ++prefix;
    }
    qsizetype suffix = 0;
    while (suffix < shorter - prefix &&
           old[old.size() - 1 - suffix] == text[text.size() - 1 - suffix]) {
        ++suffix;
    }
    QTextCursor change(&document);
    change.setPosition(static_cast<int>(prefix));
    change.setPosition(static_cast<int>(old.size() - suffix), QTextCursor::KeepAnchor);
    // The box's cursor stays where it was (at the start of a box that was empty).
    const int position = box.textCursor().position();
    if (!undoable) {
        filler.Start(change, std::move(text), prefix, suffix);
    } else {
        change.insertText(text.mid(prefix, text.size() - prefix - suffix));
    }
    QTextCursor kept(&document);
    kept.setPosition(std::min(position, document.characterCount() - 1));
    box.setTextCursor(kept);
    return filler.IsFilling();
}

void MarkLines(QTextDocument& document, std::int32_t first, std::int32_t last) {
    const int firstBlock = BlockOfScoreLine(document, first);
    const int afterLast = BlockOfScoreLine(document, last + 1);
    QTextBlock end =
        afterLast >= 0 ? document.findBlockByNumber(afterLast).previous() : document.lastBlock();
    while (end.isValid() && end.userState() != last) {
        end = end.previous();
    }
    if (firstBlock < 0 || !end.isValid()) {
        return;
    }
    MarkBlocks(document, firstBlock, end.blockNumber());
}

void MarkBlocks(QTextDocument& document, int firstBlock, int lastBlock) {
    QTextBlock start = document.findBlockByNumber(firstBlock);
    QTextBlock end = document.findBlockByNumber(lastBlock);
    if (!start.isValid() || !end.isValid() || lastBlock < firstBlock) {
        return;
    }
    start.setUserState(start == end ? kBothMarks : kFirstMark);
    if (start != end) {
        end.setUserState(kLastMark);
    }
}

std::optional<MarkedLines> TagScoreLines(QTextDocument& document,
                                         const std::vector<std::int32_t>& breaksWithinLines) {
    std::optional<std::int32_t> first;
    std::optional<std::int32_t> last;
    std::int32_t line = 1;
    auto withinLine = breaksWithinLines.begin();
    std::int32_t number = 0;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next(), ++number) {
        const int state = block.userState();
        if (state == kFirstMark || state == kBothMarks) {
            first = line;
        }
        if (state == kLastMark || state == kBothMarks) {
            last = line;
        }
        block.setUserState(line);
        if (withinLine != breaksWithinLines.end() && *withinLine == number) {
            ++withinLine;
        } else {
            ++line;
        }
    }
    if (first && last && *first <= *last) {
        return MarkedLines{*first, *last};
    }
    return std::nullopt;
}

int BlockOfScoreLine(const QTextDocument& document, std::int32_t line) {
    if (line <= 0) {
        return -1;
    }
    int low = 0;
    int high = document.blockCount();  // the answer lies in [low, high)
    while (low < high) {
        const int middle = low + (high - low) / 2;
        const int tagged = TaggedAtOrAfter(document, middle);
        if (tagged < 0 || document.findBlockByNumber(tagged).userState() >= line) {
            high = middle;
        } else {
            low = tagged + 1;
        }
    }
    const int found = TaggedAtOrAfter(document, low);
    return found >= 0 && document.findBlockByNumber(found).userState() == line ? found : -1;
}

std::int32_t ScoreLineOfBlock(const QTextDocument& document, int block, bool before) {
    QTextBlock b = document.findBlockByNumber(std::max(0, block));
    while (b.isValid() && b.userState() <= 0) {
        b = before ? b.previous() : b.next();
    }
    if (b.isValid()) {
        return b.userState();
    }
    for (b = document.lastBlock(); b.isValid() && b.userState() <= 0;) {
        b = b.previous();
    }
    return before ? 0 : (b.isValid() ? b.userState() : 0) + 1;
}

}  // namespace tez
