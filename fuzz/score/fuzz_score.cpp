// Any bytes as a score: reading and writing never misbehave, and what is written is a whole
// MIDI file that loads without repair and plays to its end.
#include <cstdlib>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "playback/smf_player.h"
#include "playback/virtual_clock.h"
#include "score/note_table.h"
#include "score/smf_writer.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    tez::NoteTable table;
    tez::Diagnostics diagnostics;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    if (tez::ReadScoreText(table, text, &diagnostics) != tez::ReadStatus::kOk)
        return 0;
    const auto file = tez::BuildScoreMidiFile(table, &diagnostics);
    tez::NoMidiDevices devices;
    tez::CSmfPlayer player(devices);
    if (player.LoadBytes(std::span(file.data(), file.size())) != 1 ||
        player.LastLoadResult() != tez::LoadResult::kOk)
        std::abort();
    tez::VirtualClock clock(player);
    clock.Start();
    if (!clock.RunToEnd())
        std::abort();
    return 0;
}
