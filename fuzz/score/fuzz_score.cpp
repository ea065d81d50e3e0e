// Any bytes as a score: reading and writing never misbehave, and the track written is whole:
// its length is the chunk's, every event is complete and every note-on meets a note-off.
#include <cstdlib>
#include <string_view>

#include "score/smf_writer.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    tez::NoteTable table;
    tez::Diagnostics diagnostics;
    if (tez::ReadScoreText(table, {reinterpret_cast<const char*>(data), size}, &diagnostics) !=
        tez::ReadStatus::kOk)
        return 0;
    tez::ScoreMidiSummary summary;
    const auto file = tez::BuildScoreMidiFile(table, &diagnostics, &summary);
    const std::size_t length = file[18] << 24 | file[19] << 16 | file[20] << 8 | file[21];
    int sounding = 0;
    std::size_t at = 22;
    while (at < file.size()) {
        while (file.at(at++) & 0x80) {  // the delta-time
        }
        const std::uint8_t status = file.at(at);
        sounding += (status & 0xF0) == 0x90 ? 1 : (status & 0xF0) == 0x80 ? -1 : 0;
        at += status >= 0xF0 ? 3 + file.at(at + (status == 0xFF ? 2 : 1)) - (status != 0xFF) : 3;
    }
    if (length != file.size() - 22 || at != file.size() || sounding != 0 || file.back() != 0)
        std::abort();
    return 0;
}
