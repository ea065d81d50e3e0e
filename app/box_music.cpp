#include "box_music.h"

#include <new>

#include "score/smf_writer.h"

namespace tez {

bool BoxMusic::Convert(std::string text) {
    if (HoldsText(text)) {
        return true;
    }
    Forget();
    try {
        if (ReadScoreText(table_, text, nullptr) != ReadStatus::kOk) {
            return false;
        }
        std::vector<std::int32_t> eventLines;
        auto file = std::make_shared<const std::vector<std::uint8_t>>(
            BuildScoreMidiFile(table_, nullptr, nullptr, &eventLines));
        music_ = MusicInMemory{std::move(file), std::move(eventLines)};
        text_ = std::make_shared<const std::string>(std::move(text));
    } catch (const std::bad_alloc&) {
        Forget();
        return false;
    }
    return true;
}

void BoxMusic::Forget() {
    music_ = MusicInMemory{};
    text_.reset();
    FreeNoteTable(table_);
}

}  // namespace tez
