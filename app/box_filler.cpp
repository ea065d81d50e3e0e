#include "box_filler.h"

#include <QElapsedTimer>
#include <QPlainTextEdit>
#include <QTextDocument>

namespace tez {

namespace {

// Each step of the event loop gives the box about this long, so input waits no longer.
constexpr qint64 kStepMs = 15;

// A longer text goes in in pieces of this size: inserting some 2,000 lines takes the box a
// few milliseconds, where a piece of kPieceChars can take 100 ms. (A removal of kPieceChars
// takes some 20 ms.)
constexpr qsizetype kStepChars = 1 << 15;

qsizetype PieceChars(qsizetype chars) {
    return chars < BoxFiller::kPieceChars ? chars : kStepChars;
}

// The part of `text` from `begin` to `end` in pieces of whole lines where lines are short.
std::deque<QString> Pieces(const QString& text, qsizetype begin, qsizetype end) {
    std::deque<QString> pieces;
    const qsizetype pieceChars = PieceChars(end - begin);
    while (begin < end) {
        qsizetype pieceEnd = std::min(end, begin + pieceChars);
        if (pieceEnd < end) {
            const qsizetype lineEnd = text.lastIndexOf(u'\n', pieceEnd - 1);
            pieceEnd = lineEnd >= begin ? lineEnd + 1 : pieceEnd;
        }
        pieces.push_back(text.sliced(begin, pieceEnd - begin));
        begin = pieceEnd;
    }
    return pieces;
}

}  // namespace

BoxFiller::BoxFiller(QPlainTextEdit& box, std::function<void()> onDone)
    : box_(box), onDone_(std::move(onDone)) {
    timer_.setInterval(0);
    QObject::connect(&timer_, &QTimer::timeout, [this] { Step(); });
}

void BoxFiller::Start(QTextCursor change, QString text, qsizetype skipFront, qsizetype skipBack) {
    box_.document()->setUndoRedoEnabled(false);
    cursor_ = std::move(change);
    oldChars_ = cursor_.selectionEnd() - cursor_.selectionStart();
    cursor_.setPosition(cursor_.selectionStart());
    pieces_ = Pieces(text, skipFront, text.size() - skipBack);
    text.clear();
    // The first lines of the new text show at once; a long old text leaves in later steps.
    InsertPiece();
    if (oldChars_ < kPieceChars) {
        RemovePiece();
    }
    if (Done()) {
        Finish();
        return;
    }
    box_.setReadOnly(true);
    timer_.start();
}

void BoxFiller::Cancel() {
    if (IsFilling()) {
        timer_.stop();
        pieces_.clear();
        oldChars_ = 0;
        box_.setReadOnly(false);
        box_.document()->setUndoRedoEnabled(true);
    }
}

void BoxFiller::Step() {
    QElapsedTimer step;
    step.start();
    while (!Done() && step.elapsed() < kStepMs) {
        // The old text leaves first: without undo history the document repacks its whole
        // text after each removal of more than some 48,000 characters, so removals of large
        // pieces while the box holds little of the new text keep those repacks few and short.
        oldChars_ > 0 ? RemovePiece() : InsertPiece();
    }
    if (Done()) {
        timer_.stop();
        box_.setReadOnly(false);
        Finish();
    }
}

void BoxFiller::InsertPiece() {
    if (!pieces_.empty()) {
        cursor_.insertText(pieces_.front());
        pieces_.pop_front();
    }
}

void BoxFiller::RemovePiece() {
    if (oldChars_ > 0) {
        const int chars = std::min(oldChars_, static_cast<int>(kPieceChars));
        QTextCursor old = cursor_;
        old.setPosition(cursor_.position() + chars, QTextCursor::KeepAnchor);
        old.removeSelectedText();
        oldChars_ -= chars;
    }
}

void BoxFiller::Finish() {
    box_.document()->setUndoRedoEnabled(true);
    onDone_();
}

}  // namespace tez
