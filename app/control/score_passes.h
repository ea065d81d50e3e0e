// The two reads of a score that the form makes when it opens or reloads one: the text
// shown in the score box, and the conversion into "tez_p.smf".
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "control/deferred_stops.h"
#include "score/note_table.h"

namespace tez {

// The text box is filled piece by piece, the way a line reader with a 15000-byte buffer
// delivers the file: a piece ends after a line feed, at the end of the file or after
// 14999 bytes.
inline constexpr std::size_t kDisplayPieceBytes = 14999;

// The file's text as the score box shows it: every byte as it stands, carriage returns
// included, except that a zero byte hides the rest of the piece that holds it.
// Nothing when the file cannot be opened or read.
std::optional<std::string> ReadScoreForDisplay(const std::string& path);

// Applies the display rule above to bytes already in memory.
std::string ScoreTextForDisplay(std::string_view bytes);

enum class ScorePassResult {
    kConverted,    // the table holds the score's records and "tez_p.smf" was written
    kOpenFailed,   // the score cannot be opened: table fresh, lastIndex and file as before
    kOutOfMemory,  // the table could not hold the score
    kWriteFailed,  // the records were read, but "tez_p.smf" could not be written
};

// Reads the score into `table` and writes "tez_p.smf" in the current directory;
// `eventLines`, when given, receives the score line of each event of the file written; a
// stop signal waits for the write of "tez_p.smf" when `stops` is given.
ScorePassResult ConvertScoreFile(NoteTable& table, const std::string& path,
                                 std::vector<std::int32_t>* eventLines = nullptr,
                                 const DeferredStops* stops = nullptr);

}  // namespace tez
