#include "box_filler.h"

#include <QElapsedTimer>
#include <QPlainTextEdit>
#include <QTextDocument>

namespace tez {

namespace {

// Each step of the event loop gives the box about this long, so input waits no longer.
constexpr qint64 kStepMs = 15;

}  // namespace

BoxFiller::BoxFiller(QPlainTextEdit& box, std::function<void()> onDone)
    : box_(box), onDone_(std::move(onDone)) {
    timer_.setInterval(0);
    QObject::connect(&timer_, &QTimer::timeout, [this] { Step(); });
}

void BoxFiller::Start(QTextCursor at, QString text, qsizetype skipFront, qsizetype skipBack) {
    cursor_ = std::move(at);
    text_ = std::move(text);
    done_ = skipFront;
    end_ = text_.size() - skipBack;
    box_.document()->setUndoRedoEnabled(false);
    InsertPiece();
    if (done_ >= end_) {
        Finish();
        return;
    }
    box_.setReadOnly(true);
    timer_.start();
}

void BoxFiller::Cancel() {
    if (IsFilling()) {
        timer_.stop();
        text_.clear();
        box_.setReadOnly(false);
        box_.document()->setUndoRedoEnabled(true);
    }
}

void BoxFiller::Step() {
    QElapsedTimer step;
    step.start();
    while (done_ < end_ && step.elapsed() < kStepMs) {
        InsertPiece();
    }
    if (done_ >= end_) {
        timer_.stop();
        box_.setReadOnly(false);
        Finish();
    }
}

// A piece ends after a line break, so that each is whole lines.
void BoxFiller::InsertPiece() {
    qsizetype end = std::min(end_, done_ + kPieceChars);
    if (end < end_) {
        const qsizetype lineEnd = text_.lastIndexOf(u'\n', end - 1);
        end = lineEnd >= done_ ? lineEnd + 1 : end;
    }
    cursor_.insertText(text_.sliced(done_, end - done_));
    done_ = end;
}

void BoxFiller::Finish() {
    text_.clear();
    box_.document()->setUndoRedoEnabled(true);
    onDone_();
}

}  // namespace tez
