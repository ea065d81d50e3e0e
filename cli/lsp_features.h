// The protocol's answers built from one version of a score.
#pragma once

#include <nlohmann/json.hpp>

#include <cstdint>
#include <string>

#include "lsp_document.h"
#include "lsp_score.h"

namespace tez::cli {

using nlohmann::json;

// At most this many diagnostics are sent for one version; a last one says how many more.
inline constexpr std::size_t kMaxDiagnostics = 5000;

// The commands the server carries out (workspace/executeCommand).
inline constexpr const char* kPlayCommand = "tez.play";    // [uri, line]
inline constexpr const char* kLoopCommand = "tez.loop";    // [uri, firstLine, lastLine]
inline constexpr const char* kPauseCommand = "tez.pause";  // pauses, or goes on
inline constexpr const char* kStopCommand = "tez.stop";
inline constexpr const char* kTempoUpCommand = "tez.tempoUp";
inline constexpr const char* kTempoDownCommand = "tez.tempoDown";
inline constexpr const char* kKeyUpCommand = "tez.keyUp";
inline constexpr const char* kKeyDownCommand = "tez.keyDown";
json CommandNames();

// Diagnostic[] for textDocument/publishDiagnostics.
json DiagnosticsOf(const ScoreVersion& version, PositionEncoding encoding);
// Hover or null for 0-based line `line`.
json HoverOf(const ScoreVersion& version, std::int64_t line);
// DocumentSymbol[]: the markers.
json SymbolsOf(const ScoreVersion& version, PositionEncoding encoding);
// CodeLens[]: play from the top and from each marker.
json CodeLensesOf(const ScoreVersion& version, const std::string& uri);
// CodeAction[] for the lines first..last (0-based).
json CodeActionsFor(const std::string& uri, std::int64_t first, std::int64_t last);
// TextEdit[] putting the score in the aligned layout.
json FormattingOf(const ScoreVersion& version, PositionEncoding encoding);

}  // namespace tez::cli
