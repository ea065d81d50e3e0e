#include "playback/midi_import.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <limits>
#include <map>
#include <string_view>
#include <utility>

#include "platform/midi_codes.h"
#include "playback/smf_bytes.h"
#include "playback/smf_event.h"
#include "playback/smf_merge.h"
#include "playback/tick_rate.h"

namespace tez {
namespace {

constexpr std::uint64_t kScoreTickMicroseconds = 4000;  // 120 ticks a quarter at 125 a minute
constexpr std::int32_t kScoreQuarter = 120;
constexpr std::int32_t kScoreTempo = 480'000;
constexpr std::uint8_t kTrackName = 0x03;
constexpr std::uint8_t kLyric = 0x05;
constexpr std::uint8_t kLastText = 0x0F;
constexpr std::uint8_t kPedalDown = 64;
constexpr std::size_t kKeys = 16 * 128;

bool IsTimeCode(std::int32_t division) {
    return (division & 0x8000) != 0;
}

// The marker number a score line writes back as the same text: 1 to 999 without a leading
// 0, or three digits with one, which a number from 1000 on writes (1005 gives "005").
std::int32_t MarkerNumber(const SmfEvent& event) {
    if (event.length == 0 || event.length > 3) {
        return 0;
    }
    std::int32_t value = 0;
    for (std::uint32_t i = 0; i < event.length; ++i) {
        if (event.data[i] < '0' || event.data[i] > '9') {
            return 0;
        }
        value = value * 10 + (event.data[i] - '0');
    }
    if (event.data[0] != '0') {
        return value;
    }
    return event.length == 3 ? 1000 + value : 0;
}

bool IsText(const SmfEvent& event, std::string_view text) {
    return event.length == text.size() &&
           std::equal(text.begin(), text.end(), reinterpret_cast<const char*>(event.data));
}

// General MIDI System On, which every written score sends first anyway.
bool IsSystemOn(const SmfEvent& event) {
    static constexpr std::array<std::uint8_t, 5> kBody = {0x7E, 0x7F, 0x09, 0x01, 0xF7};
    return event.status == midi::kSystemExclusive && event.length == kBody.size() &&
           std::equal(kBody.begin(), kBody.end(), event.data);
}

// A note sounding in the file, waiting for its note-off.
struct OpenNote {
    std::uint32_t record;
    std::uint64_t onset;  // score tick
    std::uint64_t sourceTick;
    std::uint16_t track;
};

// The last events of one key of one channel, in score ticks.
struct KeyHistory {
    std::uint64_t lastTick = kNever;
    std::uint64_t lastOnTick = kNever;
    bool lastWasOn = false;
};

class Importer {
  public:
    Importer(std::span<const TrackBytes> tracks, std::int32_t division, std::int32_t tempo,
             ImportTiming timing, MidiImport& out)
        : m_tracks(tracks), m_division(division), m_clock{0, tempo, 0}, m_out(out) {
        m_out.timing = IsTimeCode(division) || division == 0 ? ImportTiming::kExact : timing;
        m_out.trackNames.assign(tracks.size(), {});
        m_map.push_back({0, tempo});
        // A note takes at least six bytes of a track: room for all of them at once, so that
        // a large file's records are not copied as they grow (untouched room costs nothing).
        std::size_t bytes = 0;
        for (const TrackBytes& track : tracks) {
            bytes += track.length;
        }
        m_out.records.reserve(bytes / 6 + 16);
        if (IsTimeCode(division)) {
            Lose(LossKind::kSmpte, -1, {}, timing == ImportTiming::kExact);
        }
    }

    // One pass in the order of playback, so that a note-off ends the note a device would
    // end, whichever track each comes from.
    void Run() {
        MergeTracks(m_tracks, [this](const TimelineEvent& entry, const SmfEvent& event) {
            Take(entry, event);
            if (entry.endsTrack) {
                m_endTick = std::max(m_endTick, entry.tick);
                CountAfterEnd(entry, event);
            }
        });
        EndOpenNotes();
        ReportStretches();
    }

  private:
    // Where the tempo map last changed, with the exact time it has reached there.
    struct Segment {
        std::uint64_t tick;
        std::int32_t tempo;
        std::uint64_t microseconds;
    };

    // The score tick of a tick of the file, counted from the music's start. Ticks come in
    // order, each tempo change before the ticks after it.
    std::uint64_t ScoreTick(std::uint64_t tick) {
        if (tick == m_cachedTick) {
            return m_cachedScoreTick;
        }
        m_cachedTick = tick;
        if (m_out.timing == ImportTiming::kBeats) {
            const std::uint64_t from = tick > m_originTick ? tick - m_originTick : 0;
            m_cachedScoreTick =
                MulDivRounded(from, kScoreQuarter, static_cast<std::uint64_t>(m_division));
        } else {
            // From the absolute time, never from a sum of steps, so that nothing drifts.
            const std::uint64_t at = MicrosecondsAt(tick);
            const std::uint64_t from = at > m_originMicros ? at - m_originMicros : 0;
            m_cachedScoreTick = (from + kScoreTickMicroseconds / 2) / kScoreTickMicroseconds;
        }
        return m_cachedScoreTick;
    }

    std::uint64_t MicrosecondsAt(std::uint64_t tick) const {
        return SaturatingAdd(m_clock.microseconds,
                             TicksToMicroseconds(tick - m_clock.tick, m_division, m_clock.tempo));
    }

    void ChangeTempo(std::uint64_t tick, const SmfEvent& event) {
        const auto tempo = static_cast<std::int32_t>(ReadTempo(event.data, event.length));
        if (tempo == 0) {
            return;  // the tempo stays
        }
        m_clock = {tick, tempo, MicrosecondsAt(tick)};
        m_cachedTick = kNever;
        if (m_map.back().tick == tick) {
            m_map.back().tempo = tempo;
        } else if (m_map.back().tempo != tempo) {
            m_map.push_back({tick, tempo});
        }
        if (tick > m_originTick && m_out.timing == ImportTiming::kExact &&
            !IsTimeCode(m_division)) {
            Lose(LossKind::kTempo, -1, {-1, -1, tick}, true);
        }
    }

    static std::uint64_t MulDivRounded(std::uint64_t value, std::uint64_t numerator,
                                       std::uint64_t denominator) {
        const unsigned __int128 wide =
            static_cast<unsigned __int128>(value) * numerator + denominator / 2;
        return static_cast<std::uint64_t>(wide / denominator);
    }

    void Take(const TimelineEvent& entry, const SmfEvent& event) {
        const LossPlace place{entry.track, event.IsChannelMessage() ? event.status & 0x0F : -1,
                              entry.tick};
        if (event.IsChannelMessage()) {
            m_musicStarted = true;
            TakeChannel(event, place);
        } else if (event.status == midi::kMeta) {
            TakeMeta(entry, event, place);
        } else if (IsLongMessage(event)) {
            if (!(IsSystemOn(event) && !m_musicStarted)) {
                Lose(LossKind::kSystemExclusive, -1, place);
            }
        }
    }

    void TakeChannel(const SmfEvent& event, const LossPlace& place) {
        const std::uint8_t kind = event.status & 0xF0;
        const std::uint8_t channel = event.status & 0x0F;
        switch (kind) {
            case midi::kNoteOn:
                if (event.Data2() > 0) {
                    NoteOn(channel, event.Data1(), event.Data2(), place);
                } else {
                    NoteOff(channel, event.Data1(), place);
                }
                break;
            case midi::kNoteOff:
                if (event.Data2() != 0) {
                    Lose(LossKind::kNoteOffVelocity, -1, place);
                }
                NoteOff(channel, event.Data1(), place);
                break;
            case midi::kControlChange:
                TakeController(channel, event.Data1(), event.Data2(), place);
                break;
            case midi::kProgramChange:
                Lose(LossKind::kProgram, -1, place);
                break;
            case midi::kPitchBend:
                Lose(LossKind::kPitchBend, -1, place);
                break;
            case midi::kKeyPressure:
                Lose(LossKind::kKeyPressure, -1, place);
                break;
            case midi::kChannelPressure:
                Lose(LossKind::kChannelPressure, -1, place);
                break;
            default:
                break;
        }
    }

    void TakeController(std::uint8_t channel, std::uint8_t number, std::uint8_t value,
                        const LossPlace& place) {
        if (number == midi::kBankSelect || number == midi::kBankSelectFine) {
            Lose(LossKind::kBank, -1, place);
            return;
        }
        if (number != midi::kSustain) {
            Lose(LossKind::kController, number, place);
            return;
        }
        if (value != 0 && value != 127) {
            Lose(LossKind::kPedalValue, -1, place);
        }
        ImportedRecord& pedal = AddRecord(ScoreTick(place.tick));
        pedal.key = 128;
        pedal.velocity = value >= kPedalDown ? 127 : 0;
        pedal.channel = channel;
    }

    void TakeMeta(const TimelineEvent& entry, const SmfEvent& event, const LossPlace& place) {
        const std::uint8_t type = event.metaType;
        if (type == midi::kSetTempo) {
            ChangeTempo(entry.tick, event);
            return;
        }
        if (type == midi::kEndOfTrack) {
            return;
        }
        // A file this program wrote begins its music at its "start" marker, one beat in.
        if (type == midi::kMarker && !m_musicStarted && IsText(event, "start")) {
            m_originTick = entry.tick;
            m_originMicros = MicrosecondsAt(entry.tick);
            m_cachedTick = kNever;
            return;
        }
        if (type == kTrackName && m_out.trackNames[entry.track].empty()) {
            m_out.trackNames[entry.track].assign(reinterpret_cast<const char*>(event.data),
                                                 event.length);
        }
        if (type == midi::kMarker) {
            TakeMarker(event, place);
        } else if (type == kLyric) {
            Lose(LossKind::kLyric, -1, place);
        } else if (type >= 0x01 && type <= kLastText) {
            Lose(LossKind::kText, -1, place);
        } else {
            Lose(LossKind::kOtherMeta, type, place);
        }
    }

    // On the line of the event just before it at the same tick, or on a line of its own.
    void TakeMarker(const SmfEvent& event, const LossPlace& place) {
        const std::int32_t number = MarkerNumber(event);
        if (number == 0) {
            Lose(LossKind::kMarkerText, -1, place);
            return;
        }
        const std::uint64_t tick = ScoreTick(place.tick);
        if (!m_out.records.empty() && m_lastOnset == tick && m_out.records.back().marker == 0 &&
            m_out.records.back().key >= 0) {
            m_out.records.back().marker = static_cast<std::int16_t>(number);
            return;
        }
        AddRecord(tick).marker = static_cast<std::int16_t>(number);
    }

    ImportedRecord& AddRecord(std::uint64_t tick) {
        ImportedRecord record;
        record.interval = static_cast<std::int32_t>(tick - m_lastOnset);
        m_lastOnset = tick;
        m_out.records.push_back(record);
        return m_out.records.back();
    }

    void NoteOn(std::uint8_t channel, std::uint8_t key, std::uint8_t velocity,
                const LossPlace& place) {
        if (key > 127) {
            return;  // a damaged file's data byte names no key
        }
        const std::uint64_t tick = ScoreTick(place.tick);
        const auto index = static_cast<std::uint32_t>(m_out.records.size());
        ImportedRecord& note = AddRecord(tick);
        note.key = key;
        note.velocity = std::min<std::uint8_t>(velocity, 127);
        note.channel = channel;
        const std::size_t slot = channel * 128u + key;
        m_open[slot].push_back({index, tick, place.tick, static_cast<std::uint16_t>(place.track)});
        m_history[slot] = {tick, tick, true};
    }

    // At one score tick the writer sends, per key, the note-offs of notes struck earlier
    // first, then each note-on followed at once by the note-off of a note without length.
    // So a note-off right after a note-on of its key at the same tick ends that note, one
    // before any note-on there ends the earliest note sounding, and any other cannot keep
    // its place.
    void NoteOff(std::uint8_t channel, std::uint8_t key, const LossPlace& place) {
        if (key > 127) {
            return;
        }
        const std::size_t slot = channel * 128u + key;
        std::vector<OpenNote>& open = m_open[slot];
        if (open.empty()) {
            Lose(LossKind::kStrayNoteOff, -1, place);
            return;
        }
        const std::uint64_t tick = ScoreTick(place.tick);
        KeyHistory& history = m_history[slot];
        OpenNote note = open.back();
        if (history.lastTick == tick && history.lastWasOn) {
            open.pop_back();
        } else {
            if (history.lastOnTick == tick) {
                Lose(LossKind::kOverlapOrder, -1, place);
            }
            note = open.front();
            open.erase(open.begin());
        }
        history.lastTick = tick;
        history.lastWasOn = false;
        End(note, tick);
    }

    void End(const OpenNote& note, std::uint64_t tick) {
        m_out.records[note.record].length = static_cast<std::int32_t>(
            std::min<std::uint64_t>(tick - note.onset, std::numeric_limits<std::int32_t>::max()));
    }

    // A note the file never ends sounds to its end, where a score's note needs its note-off.
    void EndOpenNotes() {
        const std::uint64_t end = ScoreTick(m_endTick);
        std::vector<OpenNote> unended;
        for (std::vector<OpenNote>& open : m_open) {
            unended.insert(unended.end(), open.begin(), open.end());
            open.clear();
        }
        std::sort(unended.begin(), unended.end(),
                  [](const OpenNote& a, const OpenNote& b) { return a.record < b.record; });
        for (const OpenNote& note : unended) {
            const ImportedRecord& record = m_out.records[note.record];
            Lose(LossKind::kUnendedNote, -1, {note.track, record.channel, note.sourceTick});
            End(note, std::max(end, note.onset));
        }
    }

    // Bytes a track holds after its End of Track are never played.
    void CountAfterEnd(const TimelineEvent& entry, const SmfEvent& event) {
        if (event.status != midi::kMeta || event.metaType != midi::kEndOfTrack) {
            return;
        }
        const TrackBytes& track = m_tracks[entry.track];
        const std::uint8_t* end = track.data + track.length;
        const std::uint8_t* pos = event.data + event.length;
        std::uint64_t events = 0;
        std::uint32_t delta = 0;
        if (pos < end && ReadVarLen(pos, end, delta)) {
            std::uint8_t runningStatus = entry.runningStatus;
            std::uint64_t time = entry.tick;
            SmfEvent after;
            bool more = true;
            while (more) {
                more = ReadSmfEvent(pos, end, runningStatus, time, after);
                events += after.status != 0 || more ? 1 : 0;
            }
        }
        for (std::uint64_t i = 0; i < events; ++i) {
            Lose(LossKind::kAfterEnd, -1, {entry.track, -1, entry.tick});
        }
    }

    // Under --beats each stretch of the tempo map plays at the score's one tempo.
    void ReportStretches() {
        if (m_out.timing != ImportTiming::kBeats) {
            return;
        }
        for (const TempoStretch& stretch : m_map) {
            if (stretch.tempo != kScoreTempo) {
                m_out.stretches.push_back(stretch);
                Lose(LossKind::kTempo, -1, {-1, -1, stretch.tick});
            }
        }
    }

    // Cold: in a large file most events lose nothing, and the code that takes them runs
    // faster without this inline in its way.
    [[gnu::cold]] void Lose(LossKind kind, std::int32_t detail, const LossPlace& place,
                            bool keptOtherwise = false) {
        auto [at, added] = m_losses.try_emplace({kind, detail});
        ImportLoss& loss = at->second;
        if (added) {
            loss.kind = kind;
            loss.detail = detail;
            loss.first = place;
            loss.keptOtherwise = keptOtherwise;
        }
        ++loss.count;
    }

  public:
    void Collect() {
        for (auto& [key, loss] : m_losses) {
            m_out.losses.push_back(loss);
        }
    }

    void LoseWhole(LossKind kind) { Lose(kind, -1, {}); }

  private:
    std::span<const TrackBytes> m_tracks;
    std::int32_t m_division;
    Segment m_clock;
    MidiImport& m_out;
    std::vector<TempoStretch> m_map;  // each stretch of the tempo map
    std::uint64_t m_endTick = 0;
    std::map<std::pair<LossKind, std::int32_t>, ImportLoss> m_losses;
    std::array<std::vector<OpenNote>, kKeys> m_open;
    std::array<KeyHistory, kKeys> m_history{};
    std::uint64_t m_lastOnset = 0;
    std::uint64_t m_originTick = 0;
    std::uint64_t m_originMicros = 0;
    std::uint64_t m_cachedTick = kNever;
    std::uint64_t m_cachedScoreTick = 0;
    bool m_musicStarted = false;
};

MidiImport ImportTracks(LoadResult load, std::span<const TrackBytes> tracks, std::int32_t division,
                        ImportTiming timing) {
    MidiImport result;
    result.load = load;
    if (load != LoadResult::kOk && load != LoadResult::kTruncated &&
        load != LoadResult::kNoTiming) {
        return result;
    }
    Importer importer(tracks, division, CSmfPlayer::kDefaultTempo, timing, result);
    if (load == LoadResult::kTruncated) {
        importer.LoseWhole(LossKind::kCutShort);
    } else if (load == LoadResult::kNoTiming) {
        importer.LoseWhole(LossKind::kNoTiming);
    }
    importer.Run();
    importer.Collect();
    return result;
}

}  // namespace

MidiImport ImportLoaded(CSmfPlayer& player, ImportTiming timing) {
    std::vector<TrackBytes> tracks(static_cast<std::size_t>(player.m_trackCount));
    for (std::size_t i = 0; i < tracks.size(); ++i) {
        tracks[i] = {player.m_tracks[i].data.get(), player.m_tracks[i].length};
    }
    return ImportTracks(player.LastLoadResult(), tracks, player.m_division, timing);
}

MidiImport ImportMidiFile(const std::string& path, ImportTiming timing) {
    std::vector<std::uint8_t> bytes;
    if (!ReadWholeFile(path.c_str(), bytes)) {
        MidiImport result;
        result.load = LoadResult::kOpenFailed;
        result.openError = errno;
        return result;
    }
    return ImportMidiBytes(bytes, timing);
}

// The tracks are read where they lie in the file, as a load lays them out: a player's copy of
// them would take as much memory again.
MidiImport ImportMidiBytes(std::span<const std::uint8_t> file, ImportTiming timing) {
    const SmfLayout layout = LayOutSmf(file);
    return ImportTracks(layout.result, layout.tracks, layout.division, timing);
}

}  // namespace tez
