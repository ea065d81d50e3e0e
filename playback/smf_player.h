// Plays one Standard MIDI File on one MIDI output device, clocked by a 1 ms timer.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <vector>

#include "platform/midi_devices.h"
#include "playback/channel_state.h"
#include "playback/device_state.h"
#include "playback/midi_out_port.h"
#include "playback/midi_timer.h"
#include "playback/note_ledger.h"
#include "playback/playback_options.h"
#include "playback/smf_bytes.h"
#include "playback/smf_index.h"

namespace tez {

// Where one track stands during playback.
struct TrackCursor {
    // 1 while the track has events to send. Cleared by the timer thread, read by others.
    std::atomic<std::int32_t> active{0};
    // Absolute time in ticks of the track's next event. 64 bits, so that no sum of delta
    // times can wrap and leave a track waiting forever.
    std::uint64_t time = 0;
    std::uint32_t length = 0;  // bytes of `data`
    std::uint8_t runningStatus = 0;
    std::unique_ptr<std::uint8_t[]> data;  // the track's bytes as they follow its chunk header
    const std::uint8_t* pos = nullptr;     // the next unread byte
    std::uint32_t eventIndex = 0;          // of the event at `pos`, counted through the file

    const std::uint8_t* End() const { return data.get() + length; }
};

// How a load went.
enum class LoadResult {
    kOk,
    kTruncated,         // loaded; the file ends inside a track or before its last track
    kOpenFailed,        // not loaded: the file cannot be opened or read
    kHeaderIncomplete,  // not loaded: no whole header chunk of at least 6 bytes
    kNoTiming,          // loaded; the division gives no ticks, so the clock stands at tick 0
};

// A short lower-case description, e.g. "the file is cut short".
const char* DescribeLoadResult(LoadResult result);

// A file in memory as a load takes it: the header's words and each track's bytes, within the
// file's own bytes (a track cut short ends where they do).
struct SmfLayout {
    LoadResult result = LoadResult::kHeaderIncomplete;  // never kOpenFailed
    std::int32_t format = 0;
    std::int32_t division = 0;
    std::vector<TrackBytes> tracks;
};
SmfLayout LayOutSmf(std::span<const std::uint8_t> file);

// Reads the whole file at `path` into `bytes`. False when it cannot be opened or read
// (errno says why).
bool ReadWholeFile(const char* path, std::vector<std::uint8_t>& bytes);

// Where the message being sent comes from: its track and tick in the file, and its score line.
struct EventSource {
    // -1: a message of the player's own (the chase, the closing note-offs).
    std::int32_t track = -1;
    std::uint64_t tick = 0;
    std::int32_t line = -1;  // -1: no score line
};

class CSmfPlayer : public CMidiTimer {
  public:
    // Microseconds per quarter note before the file's first Set Tempo: the file format's
    // 120 quarter notes a minute.
    static constexpr std::int32_t kDefaultTempo = 500'000;

    explicit CSmfPlayer(MidiDevices& devices = SystemMidiDevices());
    // Stops (timer first, then the device reset and closed), then frees the tracks.
    ~CSmfPlayer();

    // Reads the whole file. 1 when tracks were loaded (a file cut short loads what is
    // there), 0 when the file cannot be opened or is no MIDI file; then the player is empty.
    int LoadFile(const char* path);
    // The same from memory.
    int LoadBytes(std::span<const std::uint8_t> file);
    LoadResult LastLoadResult() const { return m_loadResult; }

    // Releases every track; the player is empty afterwards.
    void FreeTracks();
    // Puts every cursor at its track's start and zeroes the clock.
    void Rewind();
    // 1 while at least one track has events left to send.
    int IsAnyTrackActive() const;

    // Rewinds, opens the device m_deviceId and starts the 1 ms timer (the device's own clock
    // when it has one: the synthesizer's audio). Answers 1.
    int Play();
    // Stops the timer, then resets and closes the device. Answers 1. A playback with options,
    // and one stopped before its end, first ends every note still sounding.
    int Stop();
    // Stops the timer and ends every note still sounding, keeping the device open. Answers 1.
    int Halt();
    // Stops the timer and leaves the notes sounding and the device open, for a move to a new
    // version of the music or new options. Answers the first tick not sent yet: where the
    // music goes on.
    std::uint64_t Hold();
    // After Hold (and a new file or new options): plays on from the options' start with the
    // device as it is. Its first callback moves the device from what it was sent to the
    // state in force there, sending only what differs; a note that sounds at the move and
    // sounds on in the new music goes on, one that changed ends and the new one is struck.
    int PlayOn();
    // What PlayOn does before it starts the timer, for driving the callbacks without it.
    void CueOn();

    // How the next Play or Cue plays the file: part, loops, speed, key, channels. The default
    // is the whole file as it is written. Not while the timer runs.
    void SetOptions(const PlaybackOptions& options);
    const PlaybackOptions& Options() const { return m_options; }
    // The score line of each event of the file, in file order (-1: none).
    void SetSourceLines(std::vector<std::int32_t> lines);
    const std::vector<std::int32_t>& SourceLines() const { return m_lines; }
    // Where the timer thread reports the tick and the line of the last note-on; nullptr: nowhere.
    void SetPositionSink(PlaybackPosition* position) { m_position = position; }
    // The index of the loaded file, built on first use.
    const SmfIndex& Index();
    // Inside a send, on the timer thread: where the message comes from.
    EventSource SendingSource() const;
    // Passes still to come after the current one (-1: without end). Read it while the timer
    // does not run.
    std::int32_t LoopsLeft() const { return m_loopsLeft; }
    // One clock step; the timer calls it once per millisecond.
    void OnTimerTick() override;
    // The ticks before the next event falls due; all of them once nothing is left to send.
    std::uint64_t IdleTicks() const override;
    // Sends the event at the cursor and moves the cursor to the next one.
    void DispatchEvent(TrackCursor& track);

    // What Play does before it starts the timer: rewind, then open the device. Answers
    // whether the device is open. For driving the callbacks without the timer.
    int Cue();
    // The current tick position of the clock.
    std::uint64_t Now() const;
    // How many empty callbacks come before the next one in which an event falls due;
    // nothing when no track is active or the clock can never reach the next event.
    std::optional<std::uint64_t> CallbacksUntilDue() const;
    // Counts `callbacks` empty callbacks at once. Only while the timer does not run.
    void SkipCallbacks(std::uint64_t callbacks);

    std::int32_t m_deviceId = -1;
    std::int32_t m_trackCount = 0;
    std::int32_t m_format = 0;
    std::int32_t m_division = 0;  // the header's word; top bit set: SMPTE frames
    std::int32_t m_tempo = 0;     // microseconds per quarter note
    std::uint64_t m_elapsedMs = 0;
    std::uint64_t m_tickBase = 0;
    std::uint64_t m_carry = 0;  // see TicksAfter
    bool m_rebased = false;     // a tempo change was sent
    std::unique_ptr<TrackCursor[]> m_tracks;
    CMidiOutPort m_port;

  private:
    // Where a pass of a playback with options starts.
    struct PassStart {
        std::uint64_t tick = 0;  // the first tick it sends
        ClockState clock;
        std::vector<CursorState> cursors;
        // The system exclusive messages since the last reset before the start, whole, one
        // after another as they are sent, and their fingerprint.
        std::vector<std::uint8_t> longBytes;
        std::vector<std::uint32_t> longEnds;  // where each of them ends in longBytes
        LongPrint longPrint;
        ChannelState state{kDefaultTempo};
    };
    // The player's own messages: to the device, in the account of what it has.
    class OwnMessages final : public ShortSink {
      public:
        explicit OwnMessages(CSmfPlayer& player) : m_player(player) {}
        void Send(ShortMessage message) override;

      private:
        CSmfPlayer& m_player;
    };

    std::uint64_t TicksIn(std::uint64_t milliseconds) const;
    // True when the division gives no ticks per quarter note or frame: time stays at 0.
    bool ClockStands() const;
    // Sends what is due by `now`; after a tempo change, by the clock at its new rate up to
    // `cap` (nothing: by `now` alone). Returns the tick it reached.
    std::uint64_t DispatchDue(std::uint64_t now, std::optional<std::uint64_t> cap);
    void SendChannelMessage(std::uint8_t status, std::uint8_t data1, std::uint8_t data2);
    // The steps of a playback with options.
    std::uint64_t ShapedStep(std::uint64_t now);
    std::uint64_t EndPass(std::uint64_t now);
    void PrepareRange();
    PassStart MakePassStart(std::uint64_t tick, std::optional<ClockState> clock = {});
    void StartPass(const PassStart& start);
    void SendTransition();
    void KeepOrEndNotes(const ChannelState& target);
    void StrikeChangedNotes(const ChannelState& target);
    void SendLong(std::span<const std::uint8_t> message);
    void EndSoundingNotes();
    void EndTrack(TrackCursor& track);
    void SetTempo(std::uint64_t tick, const std::uint8_t* bytes, std::uint32_t count);
    void Rebase(std::uint64_t tick);
    void SendSystemExclusive(TrackCursor& track, const std::uint8_t* body, std::uint32_t count);
    void FindNextDue();

    LoadResult m_loadResult = LoadResult::kOk;
    // The earliest time among the active tracks, so idle callbacks skip the track loop.
    std::uint64_t m_nextDue = 0;

    PlaybackOptions m_options;
    bool m_shaped = false;         // options other than the whole file as written
    std::uint32_t m_speed = 1000;  // per mille of the file's tempo
    std::unique_ptr<SmfIndex> m_index;
    PassStart m_loopStart;
    PassStart m_resumeStart;
    const PassStart* m_pendingChase = nullptr;
    bool m_moving = false;  // the pending transition is a move: notes may sound on
    std::uint64_t m_endTick = 0;
    bool m_endInclusive = false;     // the range ends with the file: its last tick plays
    std::uint64_t m_resumeTick = 0;  // the first tick not sent yet
    std::int32_t m_loopsLeft = 0;
    NoteLedger m_notes;
    DeviceState m_device;
    std::vector<std::int32_t> m_lines;
    PlaybackPosition* m_position = nullptr;
    EventSource m_sending;
    std::uint32_t m_sendingEvent = 0;
};

}  // namespace tez
