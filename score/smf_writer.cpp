#include "smf_writer.h"

#include <array>
#include <new>
#include <queue>

#include "atomic_file.h"
#include "huge_pages.h"

namespace tez {
namespace {

// Header chunk, track chunk header with its length still 0, and the opening events:
// General MIDI System On, the tempo, and the "start" marker 120 ticks in.
constexpr std::array<std::uint8_t, 46> kOpening = {
    'M',  'T',  'h',  'd',  0x00, 0x00, 0x00, 0x06, 0x00, 0x00, 0x00,
    0x01, 0x00, 0x78, 'M',  'T',  'r',  'k',  0x00, 0x00, 0x00, 0x00,  //
    0x00, 0xF0, 0x05, 0x7E, 0x7F, 0x09, 0x01, 0xF7,                    //
    0x00, 0xFF, 0x51, 0x03, 0x07, 0x53, 0x00,                          //
    0x78, 0xFF, 0x06, 0x05, 's',  't',  'a',  'r',  't'};
constexpr std::size_t kTrackLengthOffset = 18;
constexpr std::size_t kTrackDataOffset = 22;
constexpr std::uint64_t kOpeningTicks = 120;
constexpr std::uint64_t kEndOfTrackDelay = 100;
constexpr std::size_t kOpeningEvents = 3;  // system exclusive, tempo, "start" marker

// A note between its note-on and its note-off.
struct Sounding {
    std::uint64_t end;    // tick of its note-off, counted from the "start" marker
    std::int32_t slot;    // lowest free slot when it started; breaks ties between equal ends
    std::int32_t record;  // for warnings
    std::uint8_t key;
    std::uint8_t channel;
};

// The note that ends first comes first; among notes ending together, the highest slot.
struct EndsLater {
    bool operator()(const Sounding& a, const Sounding& b) const {
        return a.end != b.end ? a.end > b.end : a.slot < b.slot;
    }
};

// A record's values as written, with a warning for each one that had to be repaired.
struct WrittenValues {
    std::uint8_t channel;
    std::uint8_t key;
    std::uint8_t velocity;
};

class TrackBuilder {
  public:
    TrackBuilder(const NoteTable& table, std::vector<std::uint8_t>& out, Diagnostics* diagnostics,
                 EventLines* lines)
        : table_(table), out_(out), diagnostics_(diagnostics), lines_(lines) {}

    // Writes the delta-time from the last event written to `time`; time that passed
    // without an event is carried into it, so every delta-time is followed by an event.
    // `fromLine`: the event that follows comes from the record's score line.
    void Delta(std::uint64_t time, std::int32_t record, bool fromLine = true) {
        std::uint64_t delta = time - lastWritten_;
        lastWritten_ = time;
        if (delta > kMaxVarLen) {
            Warn(record, "delta-time " + std::to_string(delta) + " is out of range 0.." +
                             std::to_string(kMaxVarLen) + "; written as " +
                             std::to_string(kMaxVarLen));
            delta = kMaxVarLen;
        }
        fileTicks_ += delta;
        WriteVarLen(out_, static_cast<std::uint32_t>(delta));
        if (lines_ != nullptr) {
            lines_->push_back(fromLine ? LineOf(record) : -1);
        }
    }

    void Bytes(std::initializer_list<std::uint8_t> bytes) { out_.insert(out_.end(), bytes); }

    WrittenValues Repair(std::int32_t record) {
        const NoteRecord& r = table_.records[static_cast<std::size_t>(record)];
        WrittenValues values{};
        values.channel = static_cast<std::uint8_t>(r.channel & 0x0F);
        if (r.channel > 15)
            OutOfRange(record, "channel", r.channel, 15, values.channel);
        if (r.key >= 0 && r.key != 128) {
            values.key = static_cast<std::uint8_t>(r.key > 127 ? 127 : r.key);
            if (r.key > 127)
                OutOfRange(record, "key", r.key, 127, values.key);
            values.velocity = static_cast<std::uint8_t>(r.velocity > 127 ? 127 : r.velocity);
            if (r.velocity > 127)
                OutOfRange(record, "velocity", r.velocity, 127, values.velocity);
        }
        return values;
    }

    std::uint64_t FileTicks() const { return fileTicks_; }
    std::uint64_t LastWritten() const { return lastWritten_; }

  private:
    void OutOfRange(std::int32_t record, const char* what, std::int32_t value, int max,
                    int written) {
        Warn(record, std::string(what) + " " + std::to_string(value) + " is out of range 0.." +
                         std::to_string(max) + "; written as " + std::to_string(written));
    }

    std::int32_t LineOf(std::int32_t record) const {
        const auto index = static_cast<std::size_t>(record);
        return record >= 0 && index < table_.sourceLines.size() ? table_.sourceLines[index] : -1;
    }

    void Warn(std::int32_t record, std::string message) {
        if (diagnostics_ == nullptr)
            return;
        diagnostics_->push_back({std::max(LineOf(record), 0), std::move(message)});
    }

    const NoteTable& table_;
    std::vector<std::uint8_t>& out_;
    Diagnostics* diagnostics_;
    EventLines* lines_;
    std::uint64_t lastWritten_ = 0;
    std::uint64_t fileTicks_ = kOpeningTicks;
};

void WriteMarker(TrackBuilder& track, std::int32_t marker) {
    const auto digit = [](std::int32_t value) { return static_cast<std::uint8_t>('0' + value); };
    if (marker < 10) {
        track.Bytes({0xFF, 0x06, 0x01, digit(marker)});
    } else if (marker < 100) {
        track.Bytes({0xFF, 0x06, 0x02, digit(marker / 10), digit(marker % 10)});
    } else {
        const std::int32_t m = marker % 1000;
        track.Bytes({0xFF, 0x06, 0x03, digit(m / 100), digit(m / 10 % 10), digit(m % 10)});
    }
}

void WriteTempo(TrackBuilder& track, std::int32_t beatsPerMinute) {
    std::uint32_t micros = 60'000'000u / static_cast<std::uint32_t>(beatsPerMinute);
    if (micros > 0xFFFFFF)
        micros = 0xFFFFFF;  // three bytes is all Set Tempo holds
    track.Bytes({0xFF, 0x51, 0x03, static_cast<std::uint8_t>(micros >> 16),
                 static_cast<std::uint8_t>(micros >> 8), static_cast<std::uint8_t>(micros)});
}

// The merge of record onsets with the note-offs of sounding notes, in O(n log n).
class Merge {
  public:
    Merge(const NoteTable& table, TrackBuilder& track) : table_(table), track_(track) {}

    // Returns the tick at which the music ends, counted from the "start" marker.
    std::uint64_t Run() {
        const std::int32_t last = table_.lastIndex;
        std::int32_t next = 0;
        std::uint64_t now = 0;
        std::uint64_t previousOnset = 0;  // each interval counts from the previous record's onset
        for (;;) {
            const bool recordLeft = next <= last;
            const std::uint64_t onset =
                recordLeft ? previousOnset + static_cast<std::uint32_t>(Record(next).interval) : 0;
            if (!sounding_.empty() && (!recordLeft || sounding_.top().end <= onset)) {
                now = sounding_.top().end;
                NoteOff(sounding_.top());
            } else if (recordLeft) {
                now = previousOnset = onset;
                Onset(next++, onset);
            } else {
                return now;
            }
        }
    }

    std::int32_t Notes() const { return notes_; }

  private:
    const NoteRecord& Record(std::int32_t i) const {
        return table_.records[static_cast<std::size_t>(i)];
    }

    void NoteOff(const Sounding& note) {
        track_.Delta(note.end, note.record);
        track_.Bytes({static_cast<std::uint8_t>(0x80 | note.channel), note.key, 0x00});
        freeSlots_.push(note.slot);
        sounding_.pop();
    }

    // Writes the record's events in order; a record without events only lets time pass.
    void Onset(std::int32_t i, std::uint64_t onset) {
        const NoteRecord& r = Record(i);
        const WrittenValues values = track_.Repair(i);
        const auto delta = [&] { track_.Delta(onset, i); };
        if (r.key == 128) {
            delta();
            track_.Bytes({static_cast<std::uint8_t>(0xB0 | values.channel), 0x40,
                          static_cast<std::uint8_t>(r.velocity > 64 ? 0x7F : 0x00)});
        } else if (r.key >= 0) {
            delta();
            track_.Bytes(
                {static_cast<std::uint8_t>(0x90 | values.channel), values.key, values.velocity});
            StartNote(i, onset, values);
        }
        if (r.marker != 0) {
            delta();
            WriteMarker(track_, r.marker);
        }
        if (r.tempo > 0) {
            delta();
            WriteTempo(track_, r.tempo);
        }
    }

    void StartNote(std::int32_t i, std::uint64_t onset, const WrittenValues& values) {
        std::int32_t slot = nextUnusedSlot_;
        if (!freeSlots_.empty()) {
            slot = freeSlots_.top();
            freeSlots_.pop();
        } else {
            ++nextUnusedSlot_;
        }
        const auto length = static_cast<std::uint32_t>(Record(i).length);
        sounding_.push({onset + length, slot, i, values.key, values.channel});
        ++notes_;
    }

    const NoteTable& table_;
    TrackBuilder& track_;
    std::priority_queue<Sounding, std::vector<Sounding>, EndsLater> sounding_;
    std::priority_queue<std::int32_t, std::vector<std::int32_t>, std::greater<>> freeSlots_;
    std::int32_t nextUnusedSlot_ = 0;
    std::int32_t notes_ = 0;
};

void PatchTrackLength(std::vector<std::uint8_t>& out) {
    const auto length = static_cast<std::uint32_t>(out.size() - kTrackDataOffset);
    for (int i = 0; i < 4; ++i) {
        out[kTrackLengthOffset + i] = static_cast<std::uint8_t>(length >> (24 - 8 * i));
    }
}

}  // namespace

void WriteVarLen(std::vector<std::uint8_t>& out, std::uint32_t value) {
    value &= kMaxVarLen;
    for (int shift = 21; shift > 0; shift -= 7) {
        if (value >= (1u << shift)) {
            out.push_back(static_cast<std::uint8_t>(0x80 | ((value >> shift) & 0x7F)));
        }
    }
    out.push_back(static_cast<std::uint8_t>(value & 0x7F));
}

std::vector<std::uint8_t> BuildScoreMidiFile(const NoteTable& table, Diagnostics* diagnostics,
                                             ScoreMidiSummary* summary, EventLines* eventLines) {
    if (eventLines != nullptr) {
        eventLines->assign(kOpeningEvents, -1);
    }
    std::vector<std::uint8_t> out(kOpening.begin(), kOpening.end());
    // Most records give a note-on and a note-off of four bytes each.
    out.reserve(kOpening.size() + 8 * static_cast<std::size_t>(table.lastIndex + 1) + 4);
    AdviseHugePages(out.data(), out.capacity());
    TrackBuilder track(table, out, diagnostics, eventLines);
    Merge merge(table, track);
    const std::uint64_t end = merge.Run();
    track.Delta(end + kEndOfTrackDelay, table.lastIndex, false);
    track.Bytes({0xFF, 0x2F, 0x00});
    PatchTrackLength(out);
    if (summary != nullptr) {
        summary->records = table.lastIndex + 1;
        summary->notes = merge.Notes();
        summary->lengthTicks = track.FileTicks();
    }
    return out;
}

WriteStatus WriteScoreMidiFile(const NoteTable& table, const std::string& path,
                               Diagnostics* diagnostics, ScoreMidiSummary* summary,
                               EventLines* eventLines) {
    std::vector<std::uint8_t> bytes;
    try {
        bytes = BuildScoreMidiFile(table, diagnostics, summary, eventLines);
    } catch (const std::bad_alloc&) {
        return WriteStatus::kOutOfMemory;
    }
    return ReplaceFileAtomically(path, bytes);
}

namespace {

// The onset in file ticks of the first record for which `stop` holds.
template <typename Stop>
std::optional<std::uint64_t> FindOnset(const NoteTable& table, Stop stop) {
    std::uint64_t onset = kOpeningTicks;
    for (std::int32_t i = 0; i <= table.lastIndex; ++i) {
        const auto index = static_cast<std::size_t>(i);
        onset += static_cast<std::uint32_t>(table.records[index].interval);
        if (stop(index)) {
            return onset;
        }
    }
    return std::nullopt;
}

}  // namespace

std::optional<std::uint64_t> LineOnsetTick(const NoteTable& table, std::int32_t line) {
    return FindOnset(table, [&](std::size_t i) {
        return i < table.sourceLines.size() && table.sourceLines[i] >= line;
    });
}

std::optional<std::uint64_t> MarkerOnsetTick(const NoteTable& table, std::int32_t marker) {
    return FindOnset(table, [&](std::size_t i) { return table.records[i].marker == marker; });
}

}  // namespace tez
