// The score text the form keeps beside its box. Once the box shows it, a large text is kept
// compressed: the box holds the same text, and this copy is read back only to put the file's
// text over typing, to compare a new version with it or to save, while kept as it is it would
// add some 17 MB to the box's own copy of a score of a million lines for as long as it is open.
#pragma once

#include <QByteArray>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tez {

class KeptText {
  public:
    // Shorter texts stay as they are: they cost little, and compressing would only slow the
    // refreshes that read them.
    static constexpr std::size_t kCompactBytes = 1 << 20;

    KeptText& operator=(std::string text);
    void Append(std::string_view text);

    // The text, whole.
    std::string Text() const;
    std::size_t Size() const { return size_; }
    // The lines of the box showing this text (from 0) that end inside a score line: the box
    // also breaks a line at a carriage return alone, a paragraph separator and Qt's two frame
    // marks, a score only at a line feed.
    const std::vector<std::int32_t>& BreaksWithinLines() const { return breaksWithinLines_; }

    // Compresses a large text; it reads back the same. Kept as it is when memory runs out.
    void Compact();

  private:
    void TextChanged();

    std::string plain_;
    QByteArray packed_;
    std::size_t size_ = 0;
    std::vector<std::int32_t> breaksWithinLines_;
};

}  // namespace tez
