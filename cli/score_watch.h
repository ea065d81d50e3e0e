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
// through inotify on its folder. A link is followed to wherever it points now: a save of its
// target counts, and so does pointing it elsewhere. When the folder goes away this is said,
// and the file is taken again when the folder comes back.
class SaveWatch {
  public:
    // A save is complete when its writer closes the file, renames a file onto the name,
    // points a link at it or changes its permissions; it counts once nothing more has
    // happened to it for this long, so that the steps of one save (a backup renamed away,
    // the new file written) count once.
    static constexpr std::chrono::milliseconds kSettle{10};
    // A writer that keeps the file open counts once it has not written for this long: a save
    // still being written is never read.
    static constexpr std::chrono::milliseconds kQuiet{250};

    explicit SaveWatch(const std::string& path);
    ~SaveWatch();
    SaveWatch(const SaveWatch&) = delete;
    SaveWatch& operator=(const SaveWatch&) = delete;

    bool IsWatching() const { return fd_ >= 0; }
    // Takes in what happened without waiting; true once for each save that has settled.
    bool SaveSettled(std::chrono::steady_clock::time_point now);

  private:
    // A name in a watched folder.
    struct Entry {
        int watch = -1;
        std::string folder;
        std::string name;
    };
    bool Watch(Entry& entry, const std::string& path);
    void Retarget();
    void TakeEvents(std::chrono::steady_clock::time_point now);
    void Take(std::uint32_t mask, bool isNamed, std::chrono::steady_clock::time_point now);
    void FolderLost();
    void TryFolderBack(std::chrono::steady_clock::time_point now);

    int fd_ = -1;
    std::string path_;
    Entry named_;   // the path as the user named it
    Entry target_;  // the file it leads to through links
    bool lost_ = false;
    bool changed_ = false;  // something happened to the file since the last settled save
    bool writing_ = false;  // written to and not closed since
    std::chrono::steady_clock::time_point lastEvent_;
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
    CSmfPlayer& player_;
    std::string path_;
    RangeArgs range_;
    NoteTable score_;
    PlaybackPosition position_;
    SaveWatch watch_;
};

}  // namespace tez::cli
