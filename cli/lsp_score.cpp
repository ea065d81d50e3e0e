#include "lsp_score.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <new>

#include "playback_source.h"
#include "score_input.h"

namespace tez::cli {
namespace {

constexpr std::uint64_t kMsPerTick = 4;  // 480,000 µs a quarter over 120 ticks
constexpr std::uint64_t kTicksPerBeat = kScoreDivision;
constexpr std::uint64_t kBeatsPerBar = 4;
constexpr std::uint64_t kStartTick = kTicksPerBeat;  // the "start" marker

}  // namespace

std::shared_ptr<const ScoreVersion> ConvertScore(std::shared_ptr<const std::string> text,
                                                 std::int64_t documentVersion) {
    auto version = std::make_shared<ScoreVersion>();
    version->documentVersion = documentVersion;
    version->text = std::move(text);
    try {
        if (ReadScoreText(version->table, *version->text, &version->warnings) != ReadStatus::kOk) {
            version->error = "out of memory reading the score";
        } else if (!version->table.HasRecords()) {
            version->error = kNoNotes;
        } else {
            ScoreMidiSummary summary;
            version->file = BuildScoreMidiFile(version->table, &version->warnings, &summary,
                                               &version->eventLines);
            WarnIfSilent(summary, version->warnings);
        }
        SortByPosition(version->warnings);
    } catch (const std::bad_alloc&) {
        version->error = "out of memory converting the score";
        version->file.clear();
    }
    return version;
}

MusicalTime TimeAtTick(std::uint64_t tick) {
    MusicalTime time;
    time.milliseconds = tick * kMsPerTick;
    if (tick < kStartTick) {
        time.bar = 0;
        time.beat = static_cast<std::int64_t>(tick / kTicksPerBeat) + 1;
        time.tick = static_cast<std::int64_t>(tick % kTicksPerBeat);
        return time;
    }
    const std::uint64_t music = tick - kStartTick;
    time.bar = static_cast<std::int64_t>(music / (kTicksPerBeat * kBeatsPerBar)) + 1;
    time.beat = static_cast<std::int64_t>(music / kTicksPerBeat % kBeatsPerBar) + 1;
    time.tick = static_cast<std::int64_t>(music % kTicksPerBeat);
    return time;
}

std::string ClockText(std::uint64_t milliseconds) {
    char text[40];
    std::snprintf(text, sizeof text, "%llu:%02llu.%03llu",
                  static_cast<unsigned long long>(milliseconds / 60000),
                  static_cast<unsigned long long>(milliseconds / 1000 % 60),
                  static_cast<unsigned long long>(milliseconds % 1000));
    return text;
}

std::string KeyName(std::int32_t key) {
    static constexpr std::array<const char*, 12> kNames = {"C",  "C#", "D",  "D#", "E",  "F",
                                                           "F#", "G",  "G#", "A",  "A#", "B"};
    if (key < 0) {
        return "";
    }
    return std::string(kNames[static_cast<std::size_t>(key % 12)]) + std::to_string(key / 12 - 1);
}

std::string NoteValueName(std::int32_t ticks) {
    struct Value {
        std::int32_t ticks;
        const char* name;
    };
    static constexpr std::array<Value, 7> kPlain = {{{960, "double whole"},
                                                     {480, "whole"},
                                                     {240, "half"},
                                                     {120, "quarter"},
                                                     {60, "eighth"},
                                                     {30, "sixteenth"},
                                                     {15, "thirty-second"}}};
    for (const Value& value : kPlain) {
        if (ticks == value.ticks) {
            return value.name;
        }
        if (ticks * 2 == value.ticks * 3) {
            return std::string("dotted ") + value.name;
        }
        if (ticks * 4 == value.ticks * 7) {
            return std::string("double-dotted ") + value.name;
        }
        if (ticks * 3 == value.ticks * 2) {
            return std::string(value.name) + " triplet";
        }
    }
    return "";
}

LineRecords RecordsOfLine(const NoteTable& table, std::int32_t line) {
    const auto records = static_cast<std::size_t>(table.lastIndex + 1);
    const auto begin = table.sourceLines.begin();
    const auto end =
        begin + static_cast<std::ptrdiff_t>(std::min(records, table.sourceLines.size()));
    const auto [first, last] = std::equal_range(begin, end, line);
    return {static_cast<std::int32_t>(first - begin), static_cast<std::int32_t>(last - first)};
}

std::string DescribeLine(const ScoreVersion& version, std::int32_t line) {
    const NoteTable& table = version.table;
    const LineRecords found = RecordsOfLine(table, line);
    if (found.count == 0) {
        return "";
    }
    const NoteRecord& record = table.records[static_cast<std::size_t>(found.first)];
    std::string what;
    if (record.key == 128) {
        what = record.velocity > 64 ? "**pedal down**" : "**pedal up**";
    } else if (record.key >= 0 && record.key <= 127) {
        what = "**" + KeyName(record.key) + "** (key " + std::to_string(record.key) +
               "), velocity " + std::to_string(record.velocity);
    } else if (record.key > 127) {
        what = "key " + std::to_string(record.key) + " (out of range)";
    } else {
        what = "no note";
    }
    if (record.marker != 0) {
        what += ", marker " + std::to_string(record.marker);
    }
    std::string text = what;
    if (const auto tick = LineOnsetTick(table, line)) {
        const MusicalTime time = TimeAtTick(*tick);
        text += "\n\n" + ClockText(time.milliseconds) + " · bar " + std::to_string(time.bar) +
                ", beat " + std::to_string(time.beat) + ", tick " + std::to_string(time.tick);
    }
    text += "\n\nchannel " + std::to_string(record.channel);
    if (record.key >= 0 && record.key <= 127) {
        const std::string value = NoteValueName(record.length);
        text += " · length " + std::to_string(record.length) +
                (record.length == 1 ? " tick" : " ticks") +
                (value.empty() ? "" : " (" + value + ")");
    }
    return text;
}

std::vector<MarkerPlace> Markers(const NoteTable& table) {
    std::vector<MarkerPlace> places;
    std::uint64_t onset = kStartTick;
    for (std::int32_t i = 0; i <= table.lastIndex; ++i) {
        const NoteRecord& record = table.records[static_cast<std::size_t>(i)];
        onset += static_cast<std::uint32_t>(record.interval);
        if (record.marker != 0) {
            const auto line = static_cast<std::size_t>(i) < table.sourceLines.size()
                                  ? table.sourceLines[static_cast<std::size_t>(i)]
                                  : 0;
            places.push_back({line, record.marker, onset});
        }
    }
    return places;
}

namespace {

constexpr std::array<char, 6> kLayoutLetters = {'I', 'V', 'K', 'L', 'W', 'M'};

// The fields of a record in layout order, empty where a field keeps its default.
std::array<std::string, 6> LayoutFields(const NoteRecord& record) {
    const NoteRecord defaults;
    const std::array<std::int32_t, 6> values = {record.interval, record.velocity, record.key,
                                                record.length,   record.channel,  record.marker};
    const std::array<std::int32_t, 6> plain = {defaults.interval, defaults.velocity,
                                               defaults.key,      defaults.length,
                                               defaults.channel,  defaults.marker};
    std::array<std::string, 6> fields;
    bool any = false;
    for (std::size_t f = 0; f < fields.size(); ++f) {
        if (values[f] != plain[f]) {
            fields[f] = kLayoutLetters[f] + std::to_string(values[f]);
            any = true;
        }
    }
    if (!any) {
        fields[0] = "I0";  // the line must still give its record
    }
    return fields;
}

// Calls `each(lineText, records)` for every line that ends with a line feed; the lines after
// the last one are the caller's to keep.
template <typename Each>
std::size_t ForEachLine(std::string_view text, const NoteTable& table, Each each) {
    std::size_t at = 0;
    std::int32_t line = 1;
    std::int32_t record = 0;
    const std::int32_t records = std::min<std::int32_t>(
        table.lastIndex + 1, static_cast<std::int32_t>(table.sourceLines.size()));
    while (at < text.size()) {
        const std::size_t feed = text.find('\n', at);
        if (feed == std::string_view::npos) {
            break;
        }
        std::int32_t count = 0;
        while (record + count < records &&
               table.sourceLines[static_cast<std::size_t>(record + count)] == line) {
            ++count;
        }
        each(text.substr(at, feed - at), LineRecords{record, count});
        record += count;
        at = feed + 1;
        ++line;
    }
    return at;
}

}  // namespace

std::optional<std::string> FormatScore(std::string_view text, const NoteTable& table) {
    std::array<std::size_t, 6> widths{};
    ForEachLine(text, table, [&](std::string_view, LineRecords found) {
        if (found.count == 1) {
            const auto fields = LayoutFields(table.records[static_cast<std::size_t>(found.first)]);
            for (std::size_t f = 0; f < fields.size(); ++f) {
                widths[f] = std::max(widths[f], fields[f].size());
            }
        }
    });
    std::string out;
    out.reserve(text.size() + text.size() / 4);
    const std::size_t rest =
        ForEachLine(text, table, [&](std::string_view line, LineRecords found) {
            if (found.count != 1) {
                out.append(line).push_back('\n');
                return;
            }
            const auto fields = LayoutFields(table.records[static_cast<std::size_t>(found.first)]);
            const std::size_t start = out.size();
            for (std::size_t f = 0; f < fields.size(); ++f) {
                if (widths[f] == 0) {
                    continue;
                }
                if (out.size() > start) {
                    out.push_back(' ');
                }
                out.append(fields[f]).append(widths[f] - fields[f].size(), ' ');
            }
            while (out.size() > start && out.back() == ' ') {
                out.pop_back();
            }
            if (!line.empty() && line.back() == '\r') {
                out.push_back('\r');
            }
            out.push_back('\n');
        });
    out.append(text.substr(rest));
    if (out == text) {
        return std::nullopt;
    }
    return out;
}

}  // namespace tez::cli
