// The music of one file as a piano roll sees it: notes with their score lines, pedal spans,
// markers and the tempo map, ordered so that a visible span is found without a full scan.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace tez::roll {

inline constexpr std::int32_t kNoLine = -1;

struct RollNote {
    std::uint64_t start = 0;   // tick of the note-on
    std::uint32_t length = 0;  // ticks to its note-off
    std::int32_t line = kNoLine;
    std::uint8_t key = 0;
    std::uint8_t channel = 0;
    std::uint8_t velocity = 0;

    std::uint64_t End() const { return start + length; }
};
static_assert(sizeof(RollNote) == 24);

// The sustain pedal of one channel held from `start` up to `end`.
struct PedalSpan {
    std::uint64_t start = 0;
    std::uint64_t end = 0;
    std::uint8_t channel = 0;
};

struct RollMarker {
    std::uint64_t tick = 0;
    std::string text;
};

// A tempo in force from a tick on, with the time the music has reached there.
struct TempoPoint {
    std::uint64_t tick = 0;
    double seconds = 0;
    double secondsPerTick = 0;
};

// What a reader collects before the model orders it.
struct RollContent {
    std::vector<RollNote> notes;
    std::vector<PedalSpan> pedals;
    std::vector<RollMarker> markers;
    std::vector<TempoPoint> tempos;  // tick and secondsPerTick set; at least one, at tick 0
    std::uint64_t endTick = 0;
    std::int32_t ticksPerBeat = 120;
    // Where bar 1 begins: a "start" marker before the first note, as a score's file has.
    std::uint64_t barOrigin = 0;
};

// The loudest note of each key in each stretch of `binTicks` ticks, for views so wide that a
// pixel column spans one or more stretches: they are laid out without reading every note.
// Only a large piece has one.
struct RollOverview {
    std::uint64_t binTicks = 0;
    std::uint32_t bins = 0;
    // cells[key * bins + bin]: (velocity + 1) << 4 | channel of the loudest note; 0: none.
    std::vector<std::uint16_t> cells;
};

// Indices into the notes, as a span of a model's table.
using NoteIndices = std::span<const std::uint32_t>;

class RollModel {
  public:
    RollModel() : RollModel(RollContent{}) {}
    explicit RollModel(RollContent content);

    const std::vector<RollNote>& Notes() const { return m_notes; }
    const std::vector<PedalSpan>& Pedals() const { return m_pedals; }
    const std::vector<RollMarker>& Markers() const { return m_markers; }
    std::uint64_t EndTick() const { return m_endTick; }
    std::int32_t TicksPerBeat() const { return m_ticksPerBeat; }
    // The tick where bar 1 begins.
    std::uint64_t BarOrigin() const { return m_barOrigin; }
    // Bit n: channel n plays a note; uses the sustain pedal.
    std::uint16_t NoteChannels() const { return m_noteChannels; }
    std::uint16_t PedalChannels() const { return m_pedalChannels; }
    // The lowest and highest key played; 60..72 when nothing is.
    std::uint8_t LowKey() const { return m_lowKey; }
    std::uint8_t HighKey() const { return m_highKey; }

    // Notes are ordered by start: every note sounding somewhere in [from, to) has an index
    // in [first, last); the caller skips those that end at or before `from`.
    struct Range {
        std::size_t first = 0;
        std::size_t last = 0;
    };
    Range Overlapping(std::uint64_t from, std::uint64_t to) const;
    const RollOverview& Overview() const { return m_overview; }
    // The notes of score lines first..last, by line.
    NoteIndices NotesOfLines(std::int32_t first, std::int32_t last) const;

    double SecondsAt(std::uint64_t tick) const;
    std::uint64_t TickAtSeconds(double seconds) const;
    // The tempo in force at `tick`.
    double BeatsPerMinuteAt(std::uint64_t tick) const;
    // The bytes the model holds, for measuring what a note costs.
    std::size_t BytesHeld() const;

  private:
    std::vector<RollNote> m_notes;
    // The latest end among the notes of each block and all blocks before it.
    std::vector<std::uint64_t> m_blockEnds;
    std::vector<std::uint32_t> m_byLine;
    RollOverview m_overview;
    std::vector<PedalSpan> m_pedals;
    std::vector<RollMarker> m_markers;
    std::vector<TempoPoint> m_tempos;
    std::uint64_t m_endTick = 0;
    std::int32_t m_ticksPerBeat = 120;
    std::uint64_t m_barOrigin = 0;
    std::uint16_t m_noteChannels = 0;
    std::uint16_t m_pedalChannels = 0;
    std::uint8_t m_lowKey = 60;
    std::uint8_t m_highKey = 72;
};

}  // namespace tez::roll
