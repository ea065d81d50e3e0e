// Any bytes as a score: reading and writing never misbehave, and what is written is always
// a well-formed file whose every note-on meets its note-off.
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "score/note_table.h"
#include "score/smf_writer.h"
#include "smf_check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    tez::NoteTable table;
    tez::Diagnostics diagnostics;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    if (tez::ReadScoreText(table, text, &diagnostics) != tez::ReadStatus::kOk)
        return 0;
    tez::ScoreMidiSummary summary;
    const auto file = tez::BuildScoreMidiFile(table, &diagnostics, &summary);
    const tez::testing::SmfCheck check = tez::testing::CheckScoreMidiFile(file);
    if (!check.error.empty() || check.noteOns != summary.notes || check.ticks != summary.lengthTicks) {
        std::fprintf(stderr, "malformed output: %s\n", check.error.c_str());
        std::abort();
    }
    return 0;
}
