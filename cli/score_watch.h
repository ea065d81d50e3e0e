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
    // A save counts once the file has had no write for this long: a save written in parts
    // (a truncation, then the text; or the text in pieces) is read whole, and a burst of
    // saves counts once.
    static constexpr std::chrono::milliseconds kQuiet{250};

    explicit SaveWatch(const std::string& path);
    ~SaveWatch();
    SaveWatch(const SaveWatch&) = delete;
    SaveWatch& operator=(const SaveWatch&) = delete;

    bool IsWatching() const { return fd_ >= 0; }
    // Takes in what happened without waiting; true once, when a save has been quiet for kQuiet.
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
    void FolderLost();
    void TryFolderBack(std::chrono::steady_clock::time_point now);

    int fd_ = -1;
    std::string path_;
    Entry named_;   // the path as the user named it
    Entry target_;  // the file it leads to through links
    bool lost_ = false;
    bool saved_ = false;  // a write completed since the last settled save
    std::chrono::steady_clock::time_point lastWrite_;
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
