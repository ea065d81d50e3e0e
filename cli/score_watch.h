// `tez play SCORE --watch`: each save of the score is converted again and, when it converts,
// the new version takes over the playback at the same musical position.
#pragma once

#include <chrono>
#include <optional>
#include <string>

#include "playback/playback_options.h"
#include "playback/smf_player.h"
#include "range_options.h"
#include "score/note_table.h"

namespace tez::cli {

// Notices saves of one file, written in place or written beside it and renamed over it,
// through inotify on its folder. A burst of saves counts once.
class SaveWatch {
  public:
    static constexpr std::chrono::milliseconds kBurst{100};

    explicit SaveWatch(const std::string& path);
    ~SaveWatch();
    SaveWatch(const SaveWatch&) = delete;
    SaveWatch& operator=(const SaveWatch&) = delete;

    bool IsWatching() const { return fd_ >= 0; }
    // Takes in what happened without waiting; true once, kBurst after the first save of a burst.
    bool SaveSettled(std::chrono::steady_clock::time_point now);

  private:
    int fd_ = -1;
    std::string name_;
    std::optional<std::chrono::steady_clock::time_point> firstSave_;
};

class ScoreFollower {
  public:
    // `score`: the note table of the version now playing. The player reports its position
    // to the follower, which needs it to go on from there.
    ScoreFollower(CSmfPlayer& player, const std::string& path, const RangeArgs& range,
                  NoteTable score);

    // Checks for a settled save and takes the new version. Call it every few milliseconds.
    void Poll();
    // Converts the score now and lets the new version take over; the old one plays on, and
    // the reason is printed, when the new one cannot be read or its range does not resolve.
    // Answers whether the new version plays.
    bool TakeNewVersion();

  private:
    std::uint64_t ResumeTick(const NoteTable& next, std::uint64_t now) const;

    CSmfPlayer& player_;
    std::string path_;
    RangeArgs range_;
    NoteTable score_;
    PlaybackPosition position_;
    SaveWatch watch_;
};

}  // namespace tez::cli
