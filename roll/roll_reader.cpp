#include "roll/roll_reader.h"

#include <algorithm>
#include <array>
#include <string_view>
#include <vector>

#include "platform/midi_codes.h"
#include "playback/smf_event.h"
#include "playback/smf_timeline.h"
#include "playback/tick_rate.h"
#include "score/smf_writer.h"

namespace tez::roll {
namespace {

using midi::kControlChange;
using midi::kMarker;
using midi::kMeta;
using midi::kNoteOff;
using midi::kNoteOn;
using midi::kSetTempo;
using midi::kSustain;
constexpr std::uint8_t kHighestKey = 127;
constexpr std::uint8_t kPedalDown = 64;
constexpr std::int32_t kSmpteBeat = 120;  // ticks drawn as a beat when the file counts frames
constexpr std::string_view kStartMarkerText = "start";

double SecondsPerTick(std::int32_t division, std::int32_t tempo) {
    const TickRate rate = RateOf(division, tempo);
    if (rate.numerator == 0) {
        return 0;
    }
    return static_cast<double>(rate.denominator) / static_cast<double>(rate.numerator) / 1000.0;
}

// Turns a file's events into notes, pedal spans, markers and tempo changes.
class MusicReader {
  public:
    MusicReader(RollContent& content, std::span<const std::int32_t> lines, std::int32_t division)
        : m_content(content), m_lines(lines), m_division(division) {}

    // Every event of the file in the order a playback sends them, so that a note-off ends
    // the note a device would end, whichever track each comes from.
    void Read(const SmfTimeline& timeline) {
        for (const TimelineEvent& entry : timeline.Events()) {
            Take(timeline.Decode(entry), entry.tick, LineOf(entry.eventIndex));
            m_content.endTick = std::max(m_content.endTick, entry.tick);
        }
        CloseAll(m_content.endTick);
    }

  private:
    std::int32_t LineOf(std::uint32_t eventIndex) const {
        return eventIndex < m_lines.size() ? m_lines[eventIndex] : kNoLine;
    }

    void Take(const SmfEvent& event, std::uint64_t tick, std::int32_t line) {
        const std::uint8_t kind = event.status & 0xF0;
        const std::uint8_t channel = event.status & 0x0F;
        const bool isNote = kind == kNoteOn || kind == kNoteOff;
        if (isNote && event.Data1() > kHighestKey) {
            return;  // a damaged file's data byte names no key
        }
        if (kind == kNoteOn && event.Data2() > 0) {
            Open(channel, event.Data1(), std::min(event.Data2(), kHighestKey), tick, line);
        } else if (kind == kNoteOff || kind == kNoteOn) {
            Close(channel, event.Data1(), tick);
        } else if (kind == kControlChange && event.Data1() == kSustain) {
            Pedal(channel, event.Data2() >= kPedalDown, tick);
        } else if (event.status == kMeta && event.metaType == kMarker) {
            m_content.markers.push_back(
                {tick, std::string(reinterpret_cast<const char*>(event.data), event.length)});
            if (m_content.notes.empty() && m_content.markers.size() == 1 &&
                m_content.markers.back().text == kStartMarkerText) {
                m_content.barOrigin = tick;  // the music starts here
            }
        } else if (event.status == kMeta && event.metaType == kSetTempo) {
            const std::uint32_t tempo = ReadTempo(event.data, event.length);
            if (tempo > 0) {
                m_content.tempos.push_back(
                    {tick, 0, SecondsPerTick(m_division, static_cast<std::int32_t>(tempo))});
            }
        }
    }

    void Open(std::uint8_t channel, std::uint8_t key, std::uint8_t velocity, std::uint64_t tick,
              std::int32_t line) {
        m_sounding[channel * 128u + key].push_back(
            static_cast<std::uint32_t>(m_content.notes.size()));
        m_content.notes.push_back({tick, 0, line, key, channel, velocity});
    }

    // A note-off ends the earliest of the notes sounding on its key.
    void Close(std::uint8_t channel, std::uint8_t key, std::uint64_t tick) {
        auto& sounding = m_sounding[channel * 128u + key];
        if (sounding.empty()) {
            return;
        }
        SetEnd(m_content.notes[sounding.front()], tick);
        sounding.erase(sounding.begin());
    }

    static void SetEnd(RollNote& note, std::uint64_t tick) {
        note.length =
            static_cast<std::uint32_t>(std::min<std::uint64_t>(tick - note.start, UINT32_MAX));
    }

    void Pedal(std::uint8_t channel, bool down, std::uint64_t tick) {
        std::optional<std::uint64_t>& held = m_pedalFrom[channel];
        if (down && !held) {
            held = tick;
        } else if (!down && held) {
            m_content.pedals.push_back({*held, tick, channel});
            held.reset();
        }
    }

    // What still sounds when the track ends lasts to its end.
    void CloseAll(std::uint64_t tick) {
        for (auto& sounding : m_sounding) {
            for (const std::uint32_t index : sounding) {
                SetEnd(m_content.notes[index], tick);
            }
            sounding.clear();
        }
        for (std::uint8_t channel = 0; channel < 16; ++channel) {
            Pedal(channel, false, tick);
        }
    }

    RollContent& m_content;
    std::span<const std::int32_t> m_lines;
    std::int32_t m_division;
    std::array<std::vector<std::uint32_t>, 16 * 128> m_sounding;
    std::array<std::optional<std::uint64_t>, 16> m_pedalFrom;
};

}  // namespace

RollModel ReadRoll(CSmfPlayer& player, std::span<const std::int32_t> eventLines) {
    RollContent content;
    const bool framesCounted = (player.m_division & 0x8000) != 0;
    content.ticksPerBeat = framesCounted || player.m_division == 0 ? kSmpteBeat : player.m_division;
    content.tempos.push_back({0, 0, SecondsPerTick(player.m_division, CSmfPlayer::kDefaultTempo)});
    MusicReader reader(content, eventLines, player.m_division);
    reader.Read(player.Index().Timeline());
    if (framesCounted) {
        // Frames tick at one pace whatever the tempo says.
        content.tempos.resize(1);
    }
    return RollModel(std::move(content));
}

RollModel ReadTiming(CSmfPlayer& player) {
    RollContent content;
    const bool framesCounted = (player.m_division & 0x8000) != 0;
    content.ticksPerBeat = framesCounted || player.m_division == 0 ? kSmpteBeat : player.m_division;
    content.tempos.push_back({0, 0, SecondsPerTick(player.m_division, CSmfPlayer::kDefaultTempo)});
    player.Rewind();
    // Track by track, in the order of each: the tempo map needs no merge of the tracks.
    for (std::int32_t t = 0; t < player.m_trackCount; ++t) {
        const TrackCursor& track = player.m_tracks[t];
        const std::uint8_t* pos = track.pos;
        std::uint64_t time = track.time;
        std::uint8_t runningStatus = track.runningStatus;
        bool goesOn = track.active.load() != 0;
        while (goesOn) {
            const std::uint64_t at = time;
            SmfEvent event;
            goesOn = ReadSmfEvent(pos, track.End(), runningStatus, time, event);
            content.endTick = std::max(content.endTick, at);
            if (event.status == kMeta && event.metaType == kSetTempo && !framesCounted) {
                const std::uint32_t tempo = ReadTempo(event.data, event.length);
                if (tempo > 0) {
                    content.tempos.push_back(
                        {at, 0,
                         SecondsPerTick(player.m_division, static_cast<std::int32_t>(tempo))});
                }
            }
        }
    }
    return RollModel(std::move(content));
}

namespace {

// A player that goes nowhere holds the file while its events are read.
template <typename Load, typename Read>
auto ReadLoaded(Load load, Read read)
    -> std::optional<decltype(read(std::declval<CSmfPlayer&>()))> {
    NoMidiDevices nowhere;
    CSmfPlayer player(nowhere);
    if (load(player) == 0) {
        return std::nullopt;
    }
    return read(player);
}

}  // namespace

std::optional<RollModel> ReadRollFromBytes(std::span<const std::uint8_t> file,
                                           std::span<const std::int32_t> eventLines) {
    return ReadLoaded([&](CSmfPlayer& player) { return player.LoadBytes(file); },
                      [&](CSmfPlayer& player) { return ReadRoll(player, eventLines); });
}

std::optional<RollModel> ReadRollFromFile(const char* path,
                                          std::span<const std::int32_t> eventLines) {
    return ReadLoaded([&](CSmfPlayer& player) { return player.LoadFile(path); },
                      [&](CSmfPlayer& player) { return ReadRoll(player, eventLines); });
}

std::optional<RollModel> ReadTimingFromBytes(std::span<const std::uint8_t> file) {
    return ReadLoaded([&](CSmfPlayer& player) { return player.LoadBytes(file); },
                      [](CSmfPlayer& player) { return ReadTiming(player); });
}

std::optional<RollModel> ReadTimingFromFile(const char* path) {
    return ReadLoaded([&](CSmfPlayer& player) { return player.LoadFile(path); },
                      [](CSmfPlayer& player) { return ReadTiming(player); });
}

RollModel ReadRollFromScore(const NoteTable& score) {
    EventLines lines;
    const std::vector<std::uint8_t> file = BuildScoreMidiFile(score, nullptr, nullptr, &lines);
    return ReadRollFromBytes(file, lines).value_or(RollModel{});
}

}  // namespace tez::roll
