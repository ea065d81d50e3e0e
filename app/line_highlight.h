// Marks the score line now sounding in the score box without touching its text: an extra
// selection, which is neither an edit nor a step in the undo history.
#pragma once

class QPlainTextEdit;

namespace tez {

// Highlights the box's line `line` (counted from 1) across its width and, with
// `keepInView`, scrolls it into view if it is not; 0 or less, or a line the box does not
// hold, removes the highlight.
void HighlightLine(QPlainTextEdit& box, int line, bool keepInView = true);
// The line highlighted now; 0 when none is.
int HighlightedLine(const QPlainTextEdit& box);

}  // namespace tez
