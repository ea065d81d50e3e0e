// Hands a running worker the playback it is to go on with, so that its own player halts and
// plays on at once: no second device, no second worker, and no wait on the form's thread.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "playback/playback_options.h"

namespace tez {

// What one worker plays besides the file: its part, speed and key, and the score line of
// each event of "tez_p.smf" so that it can tell which line sounds.
// A MIDI file held in memory, with the score line of each of its events.
struct MusicInMemory {
    std::shared_ptr<const std::vector<std::uint8_t>> file;
    std::vector<std::int32_t> eventLines;
};

struct PlaybackRequest {
    PlaybackOptions options;
    std::vector<std::int32_t> eventLines;
    // The file played, when it is not "tez_p.smf".
    std::shared_ptr<const std::vector<std::uint8_t>> music;
};

struct PlaybackMove {
    PlaybackRequest request;
    // "tez_p.smf" was written again since the worker loaded it.
    bool reloadFile = false;
    // Set: the music goes on from where it stands, this many ticks further (an edit moved
    // the line sounding). Empty: it starts where the request's options say.
    std::optional<std::int64_t> shift;
};

class MoveMailbox {
  public:
    // Ready for a new worker.
    void Open();
    // Leaves `move` for the worker, merged with one it has not taken yet: its options win,
    // a rewritten file stays rewritten and the shifts add up. False once the worker has
    // closed the mailbox, ending.
    bool Post(PlaybackMove move);
    // Waits up to `period` for a move; returns early with one, or empty when woken.
    std::optional<PlaybackMove> Wait(std::chrono::milliseconds period);
    // The move left, if any; otherwise closes the mailbox for good.
    std::optional<PlaybackMove> TakeOrClose();
    void Close();
    // Ends the worker's current wait at once.
    void Wake();

  private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::optional<PlaybackMove> pending_;
    bool open_ = false;
    bool woken_ = false;
};

}  // namespace tez
