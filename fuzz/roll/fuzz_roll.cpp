// Any bytes as a MIDI file: its piano roll is read and laid out for a view, a size and a
// state taken from the input's last bytes, and the points of the picture are looked up,
// without reading out of bounds, overflowing or taking long.
#include <cstddef>
#include <cstdint>
#include <span>

#include "roll/roll_hit.h"
#include "roll/roll_reader.h"

namespace {

constexpr std::size_t kViewBytes = 12;

std::uint32_t Word(const std::uint8_t* b) {
    return static_cast<std::uint32_t>(b[0] << 16 | b[1] << 8 | b[2]);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < kViewBytes) {
        return 0;
    }
    const std::uint8_t* b = data + size - kViewBytes;
    const auto model = tez::roll::ReadRollFromBytes({data, size - kViewBytes}, {});
    if (!model) {
        return 0;
    }
    tez::roll::RollView view = tez::roll::WholeView(*model, 40 + b[0] * 8, 60 + b[1] * 4);
    if ((b[2] & 1) != 0) {
        view.fromTick = Word(b + 3);
        view.toTick = view.fromTick + Word(b + 6);
        view.lowKey = b[9] % 128;
        view.highKey = b[10] % 128;
    }
    tez::roll::RollState state;
    state.cursorLine = b[11] % 4 - 1;
    state.now = view.fromTick + Word(b + 6) / 2;
    state.loop = std::pair(view.fromTick, view.toTick);
    const tez::roll::RollFrame frame = tez::roll::LayOutRoll(*model, view, state);
    for (double x = 0; x < view.width; x += 7) {
        tez::roll::NoteAt(*model, frame, x, frame.notesArea.y + x / 3);
        tez::roll::OnsetNearX(*model, frame, x);
    }
    return 0;
}
