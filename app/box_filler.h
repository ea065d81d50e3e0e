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
    // Texts shorter than this go into the box in one piece.
    static constexpr qsizetype kPieceChars = 1 << 18;

    // `onDone` runs once a text is in whole.
    BoxFiller(QPlainTextEdit& box, std::function<void()> onDone);

    // Inserts `text` but its first `skipFront` and last `skipBack` characters at `at`: the
    // first piece now, the rest a piece at a time. The box is read-only meanwhile and keeps
    // no undo history of the insertion.
    void Start(QTextCursor at, QString text, qsizetype skipFront = 0, qsizetype skipBack = 0);
    // Stops filling; what is in stays.
    void Cancel();
    bool IsFilling() const { return timer_.isActive(); }

  private:
    void Step();
    void InsertPiece();
    void Finish();

    QPlainTextEdit& box_;
    std::function<void()> onDone_;
    QTextCursor cursor_;
    // The pieces still to insert, each freed once it is in: a copy of the whole text kept
    // beside the box's until the end would be some 40 MB for a score of a million lines.
    std::deque<QString> pieces_;
    QTimer timer_;
};

}  // namespace tez
