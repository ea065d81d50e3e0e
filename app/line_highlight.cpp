#include "line_highlight.h"

#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextBlock>

namespace tez {

namespace {

// In a box that does not wrap, the vertical scroll bar counts lines.
void KeepInView(QPlainTextEdit& box, int blockNumber) {
    QScrollBar* bar = box.verticalScrollBar();
    const int lineHeight = std::max(1, box.fontMetrics().lineSpacing());
    const int visibleLines = std::max(1, box.viewport()->height() / lineHeight);
    const int first = bar->value();
    if (blockNumber >= first && blockNumber < first + visibleLines) {
        return;
    }
    bar->setValue(std::max(0, blockNumber - visibleLines / 3));
}

}  // namespace

void HighlightLine(QPlainTextEdit& box, int line, bool keepInView) {
    const QTextBlock block = box.document()->findBlockByNumber(line - 1);
    if (line <= 0 || !block.isValid()) {
        box.setExtraSelections({});
        return;
    }
    if (HighlightedLine(box) == line) {
        return;
    }
    QTextEdit::ExtraSelection sounding;
    sounding.cursor = QTextCursor(block);
    sounding.format.setBackground(QColor(255, 232, 140));
    sounding.format.setProperty(QTextFormat::FullWidthSelection, true);
    box.setExtraSelections({sounding});
    if (keepInView) {
        KeepInView(box, block.blockNumber());
    }
}

int HighlightedLine(const QPlainTextEdit& box) {
    const QList<QTextEdit::ExtraSelection> selections = box.extraSelections();
    return selections.isEmpty() ? 0 : selections.front().cursor.blockNumber() + 1;
}

}  // namespace tez
