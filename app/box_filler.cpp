#include "box_filler.h"

#include <QElapsedTimer>
#include <QPlainTextEdit>
#include <QTextDocument>

namespace tez {

namespace {

// Each step of the event loop gives the box about this long, so input waits no longer.
constexpr qint64 kStepMs = 15;

// The part of `text` from `begin` to `end` in pieces of whole lines where lines are short.
std::deque<QString> Pieces(const QString& text, qsizetype begin, qsizetype end) {
    std::deque<QString> pieces;
    while (begin < end) {
        qsizetype pieceEnd = std::min(end, begin + BoxFiller::kPieceChars);
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

void BoxFiller::Start(QTextCursor at, QString text, qsizetype skipFront, qsizetype skipBack) {
    cursor_ = std::move(at);
    pieces_ = Pieces(text, skipFront, text.size() - skipBack);
    text.clear();
    box_.document()->setUndoRedoEnabled(false);
    InsertPiece();
    if (pieces_.empty()) {
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
        box_.setReadOnly(false);
        box_.document()->setUndoRedoEnabled(true);
    }
}

void BoxFiller::Step() {
    QElapsedTimer step;
    step.start();
    while (!pieces_.empty() && step.elapsed() < kStepMs) {
        InsertPiece();
    }
    if (pieces_.empty()) {
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

void BoxFiller::Finish() {
    box_.document()->setUndoRedoEnabled(true);
    onDone_();
}

}  // namespace tez
