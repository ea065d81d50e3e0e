// Puts a long text into the score box a piece at a time from the event loop, so that the
// window shows the first lines at once and answers between the pieces.
#pragma once

#include <QObject>
#include <QString>
#include <QTextCursor>
#include <QTimer>
#include <deque>
#include <functional>

class QPlainTextEdit;

namespace tez {

class BoxFiller {
  public:
    // Texts shorter than this go into the box in one piece (longer ones in smaller pieces);
    // old texts leave it in pieces of this size.
    static constexpr qsizetype kPieceChars = 1 << 18;

    // `onDone` runs once a text is in whole.
    BoxFiller(QPlainTextEdit& box, std::function<void()> onDone);

    // Replaces what `change` selects with `text` but its first `skipFront` and last
    // `skipBack` characters: the first piece of the text goes in now (and a short old text
    // leaves), then a long old text leaves and the rest comes in, a piece at a time. The box is
    // read-only meanwhile and keeps no undo history of the replacement.
    void Start(QTextCursor change, QString text, qsizetype skipFront = 0, qsizetype skipBack = 0);
    // Stops filling; what is in stays: the text's first pieces, then what is left of the old.
    void Cancel();
    bool IsFilling() const { return timer_.isActive(); }

  private:
    void Step();
    bool Done() const { return pieces_.empty() && oldChars_ == 0; }
    void InsertPiece();
    void RemovePiece();
    void Finish();

    QPlainTextEdit& box_;
    std::function<void()> onDone_;
    // Where the text goes in; the old text still to remove follows it.
    QTextCursor cursor_;
    int oldChars_ = 0;
    // The pieces still to insert, each freed once it is in: a copy of the whole text kept
    // beside the box's until the end would be some 40 MB for a score of a million lines.
    std::deque<QString> pieces_;
    QTimer timer_;
};

}  // namespace tez
