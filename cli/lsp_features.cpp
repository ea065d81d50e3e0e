#include "lsp_features.h"

#include <algorithm>
#include <cctype>

namespace tez::cli {
namespace {

constexpr int kError = 1;
constexpr int kWarning = 2;
constexpr int kSymbolEvent = 24;

json Position(std::int64_t line, std::int64_t character) {
    return {{"line", line}, {"character", character}};
}

json Range(std::int64_t line, std::int64_t from, std::int64_t to) {
    return {{"start", Position(line, from)}, {"end", Position(line, to)}};
}

// The value a diagnostic's 1-based byte column points at, to the end of its digits (blanks
// inside a number included); the whole line when there is no column.
json ValueRange(std::string_view line, std::int32_t lineNumber, std::int32_t column,
                PositionEncoding encoding) {
    const std::int64_t row = std::max(lineNumber, 1) - 1;
    if (column < 1) {
        return Range(row, 0, UnitsIn(line, line.size(), encoding));
    }
    const auto start = std::min(static_cast<std::size_t>(column - 1), line.size());
    std::size_t end = start;
    for (std::size_t i = start; i < line.size(); ++i) {
        const auto c = static_cast<unsigned char>(line[i]);
        if (std::isdigit(c)) {
            end = i + 1;
        } else if (std::isalpha(c)) {
            break;
        }
    }
    end = std::max(end, std::min(start + 1, line.size()));
    return Range(row, UnitsIn(line, start, encoding), UnitsIn(line, end, encoding));
}

json Diagnostic(json range, int severity, const std::string& message) {
    return {{"range", std::move(range)},
            {"severity", severity},
            {"source", "tez"},
            {"message", message}};
}

json Command(const std::string& title, const char* name, json arguments = json::array()) {
    return {{"title", title}, {"command", name}, {"arguments", std::move(arguments)}};
}

}  // namespace

json CommandNames() {
    return {kPlayCommand,    kLoopCommand,      kPauseCommand, kStopCommand,
            kTempoUpCommand, kTempoDownCommand, kKeyUpCommand, kKeyDownCommand};
}

json DiagnosticsOf(const ScoreVersion& version, PositionEncoding encoding) {
    json list = json::array();
    const std::string_view text = *version.text;
    if (!version.error.empty()) {
        list.push_back(Diagnostic(Range(0, 0, 0), kError, version.error));
    }
    // The warnings come in the order of the score: one walk down the text finds their lines.
    std::size_t lineStart = 0;
    std::int32_t lineNumber = 1;
    for (const tez::Diagnostic& warning : version.warnings) {
        if (list.size() == kMaxDiagnostics) {
            list.push_back(Diagnostic(
                Range(std::max(warning.line, 1) - 1, 0, 0), kWarning,
                std::to_string(version.warnings.size() - (kMaxDiagnostics - 1)) +
                    " more values are repaired from here on; `tez check` lists them all"));
            break;
        }
        while (lineNumber < warning.line && lineStart < text.size()) {
            const std::size_t feed = text.find('\n', lineStart);
            lineStart = feed == std::string_view::npos ? text.size() : feed + 1;
            ++lineNumber;
        }
        const std::size_t feed = text.find('\n', lineStart);
        const std::string_view line = text.substr(
            lineStart, feed == std::string_view::npos ? std::string_view::npos : feed - lineStart);
        list.push_back(Diagnostic(ValueRange(line, warning.line, warning.column, encoding),
                                  kWarning, warning.message));
    }
    return list;
}

json HoverOf(const ScoreVersion& version, std::int64_t line) {
    if (line < 0 || line >= std::numeric_limits<std::int32_t>::max()) {
        return nullptr;
    }
    const std::string text = DescribeLine(version, static_cast<std::int32_t>(line + 1));
    if (text.empty()) {
        return nullptr;
    }
    return {{"contents", {{"kind", "markdown"}, {"value", text}}}};
}

json SymbolsOf(const ScoreVersion& version, PositionEncoding encoding) {
    json symbols = json::array();
    for (const MarkerPlace& place : Markers(version.table)) {
        const std::int64_t row = place.line - 1;
        const std::string_view line = LineOf(*version.text, row);
        const json range = Range(row, 0, UnitsIn(line, line.size(), encoding));
        const MusicalTime time = TimeAtTick(place.tick);
        std::string name = "M";
        name += std::to_string(place.marker);
        symbols.push_back(
            {{"name", std::move(name)},
             {"detail", ClockText(time.milliseconds) + " bar " + std::to_string(time.bar)},
             {"kind", kSymbolEvent},
             {"range", range},
             {"selectionRange", range}});
    }
    return symbols;
}

json CodeLensesOf(const ScoreVersion& version, const std::string& uri) {
    json lenses = json::array();
    if (!version.table.HasRecords()) {
        return lenses;
    }
    const std::int64_t firstLine = version.table.sourceLines.front() - 1;
    lenses.push_back({{"range", Range(firstLine, 0, 0)},
                      {"command", Command("▶ Play", kPlayCommand, json::array({uri, firstLine}))}});
    for (const MarkerPlace& place : Markers(version.table)) {
        const std::int64_t row = place.line - 1;
        lenses.push_back({{"range", Range(row, 0, 0)},
                          {"command", Command("▶ Play from M" + std::to_string(place.marker),
                                              kPlayCommand, json::array({uri, row}))}});
    }
    return lenses;
}

json CodeActionsFor(const std::string& uri, std::int64_t first, std::int64_t last) {
    json actions = json::array();
    const auto add = [&](const std::string& title, const char* name, json arguments) {
        actions.push_back(
            {{"title", title}, {"command", Command(title, name, std::move(arguments))}});
    };
    add("Play from line " + std::to_string(first + 1), kPlayCommand, json::array({uri, first}));
    if (last > first) {
        add("Loop lines " + std::to_string(first + 1) + "-" + std::to_string(last + 1),
            kLoopCommand, json::array({uri, first, last}));
    } else {
        add("Loop line " + std::to_string(first + 1), kLoopCommand,
            json::array({uri, first, first}));
    }
    add("Pause or go on", kPauseCommand, json::array());
    add("Stop", kStopCommand, json::array());
    add("Tempo up", kTempoUpCommand, json::array());
    add("Tempo down", kTempoDownCommand, json::array());
    add("Key up", kKeyUpCommand, json::array());
    add("Key down", kKeyDownCommand, json::array());
    return actions;
}

json FormattingOf(const ScoreVersion& version, PositionEncoding encoding) {
    const std::string_view text = *version.text;
    const std::optional<std::string> formatted = FormatScore(text, version.table);
    if (!formatted) {
        return json::array();
    }
    const std::int64_t lastLine = LineCount(text) - 1;
    const std::string_view tail = LineOf(text, lastLine);
    json range = {{"start", Position(0, 0)},
                  {"end", Position(lastLine, UnitsIn(tail, tail.size(), encoding))}};
    json edit = {{"range", std::move(range)}, {"newText", *formatted}};
    json edits = json::array();
    edits.push_back(std::move(edit));
    return edits;
}

}  // namespace tez::cli
