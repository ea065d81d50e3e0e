// Dialog templates are laid out in dialog units, which scale with the dialog's font:
// a horizontal unit is a quarter of the font's average character width, a vertical unit
// an eighth of its character height.
#pragma once

#include <QFont>
#include <QRect>
#include <QSize>

namespace tez {

class DialogUnits {
  public:
    explicit DialogUnits(const QFont& font);
    DialogUnits(int averageCharWidth, int charHeight)
        : averageCharWidth_(averageCharWidth), charHeight_(charHeight) {}

    int ToPixelsX(int units) const { return units * averageCharWidth_ / 4; }
    int ToPixelsY(int units) const { return units * charHeight_ / 8; }
    QRect ToPixels(int x, int y, int width, int height) const;
    QSize ToPixels(int width, int height) const;

    int averageCharWidth() const { return averageCharWidth_; }
    int charHeight() const { return charHeight_; }

  private:
    int averageCharWidth_;
    int charHeight_;
};

// The dialogs' font: 9 point "ＭＳ Ｐゴシック", or the first installed Japanese Gothic.
QFont DialogFont();

}  // namespace tez
