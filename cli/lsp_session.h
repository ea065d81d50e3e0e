// The language server's playback: one player on the chosen device, following the edits of the
// document it plays, and telling the client which line sounds.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "lsp_score.h"
#include "playback/smf_player.h"

namespace tez::cli {

// What a command did, in a few words for the client.
struct CommandOutcome {
    bool ok = true;
    std::string message;
};

class PlaybackSession {
  public:
    // `line` is 0-based; nothing when no line sounds (stopped, or between the lines).
    using LineSink = std::function<void(const std::string& uri, std::optional<std::int32_t> line)>;
    static constexpr std::chrono::milliseconds kLineEvery{50};

    PlaybackSession(MidiDevices& devices, LineSink sink);
    // Stops the playback: every note ends and the device is reset.
    ~PlaybackSession();
    PlaybackSession(const PlaybackSession&) = delete;
    PlaybackSession& operator=(const PlaybackSession&) = delete;

    void SetDevice(int id);
    // Plays `uri` from score line `first` (1-based); with `last`, loops lines first..last.
    CommandOutcome Play(const std::string& uri, std::shared_ptr<const ScoreVersion> version,
                        std::int32_t first, std::optional<std::int32_t> last);
    CommandOutcome TogglePause();
    CommandOutcome Stop();
    CommandOutcome StepTempo(int steps);
    CommandOutcome StepKey(int steps);
    // A new version of a document: when it is the one playing, the music goes on in it.
    void TakeVersion(const std::string& uri, std::shared_ptr<const ScoreVersion> version);

  private:
    enum class State { kStopped, kPlaying, kPaused };

    std::optional<PlaybackOptions> RangeIn(const ScoreVersion& version) const;
    // Lets `next` (or the same version with new options) go on from where the music is.
    CommandOutcome MoveTo(std::shared_ptr<const ScoreVersion> next);
    void StopLocked();
    void FollowPlayback();

    MidiDevices& devices_;
    LineSink sink_;
    std::mutex mutex_;
    std::condition_variable quit_;
    bool quitting_ = false;
    CSmfPlayer player_;
    PlaybackPosition position_;
    State state_ = State::kStopped;
    int device_ = -1;
    std::optional<int> openDevice_;  // the device the player holds open between playbacks
    std::string uri_;
    std::shared_ptr<const ScoreVersion> playing_;  // the version the player has loaded
    std::shared_ptr<const ScoreVersion> newest_;   // the newest, taken in on resuming
    std::int32_t firstLine_ = 1;
    std::optional<std::int32_t> lastLine_;
    double tempo_ = 1.0;
    int transpose_ = 0;
    std::thread follower_;
};

}  // namespace tez::cli
