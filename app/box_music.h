// The score box's text converted in memory: what the window's own playback commands play
// while the box holds typing its file does not have, so that what is heard is what is shown.
#pragma once

#include <memory>
#include <string>

#include "control/move_mailbox.h"
#include "score/note_table.h"

namespace tez {

class BoxMusic {
  public:
    BoxMusic() = default;
    BoxMusic(const BoxMusic&) = delete;
    BoxMusic& operator=(const BoxMusic&) = delete;
    // A conversion made aside takes the place of the one before.
    BoxMusic(BoxMusic&&) = default;
    BoxMusic& operator=(BoxMusic&&) = default;

    // Converts the score `text` (its lines counted as the box's) unless it is the text
    // converted last. False when memory runs out; the last conversion is then gone.
    bool Convert(std::string text);
    void Forget();
    bool Holds() const { return music_.file != nullptr; }
    // Whether `text` is the text converted last, which Convert then keeps as it is.
    bool HoldsText(const std::string& text) const { return Holds() && text_ && text == *text_; }
    // The text converted last, for a conversion aside to compare with; null when none.
    std::shared_ptr<const std::string> LastText() const { return Holds() ? text_ : nullptr; }

    const NoteTable& Table() const { return table_; }
    const MusicInMemory& Music() const { return music_; }

  private:
    std::shared_ptr<const std::string> text_;
    NoteTable table_;
    MusicInMemory music_;
};

}  // namespace tez
