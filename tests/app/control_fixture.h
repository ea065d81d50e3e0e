// What the playback control's tests share: a host that records what the form would show,
// the MIDI file of a score in the current folder, and idle playback words to start from.
#pragma once

#include <string>
#include <vector>

#include "control/playback_control.h"
#include "control/playback_state.h"
#include "recording_devices.h"
#include "score/note_table.h"
#include "score/smf_writer.h"
#include "scratch_dir.h"

namespace tez::apptest {

using test::kPatience;
using test::RecordingDevices;
using Texts = std::vector<std::string>;

class RecordingHost final : public PlaybackHost {
  public:
    bool HasNoteRecord() const override { return hasRecord; }
    void SetStatusAndRefresh(const std::string& status) override { statuses.push_back(status); }
    void ShowMessage(const std::string& text) override { messages.push_back(text); }
    int DeviceListSelection() const override { return selection; }

    bool hasRecord = true;
    int selection = 0;
    Texts statuses;
    Texts messages;
};

inline bool WriteMidiFileOf(const std::string& score) {
    NoteTable table;
    return ReadScoreText(table, score, nullptr) == ReadStatus::kOk &&
           WriteScoreMidiFile(table) == WriteStatus::kOk;
}

inline void ResetPlaybackWords() {
    g_deviceId = -1;
    g_runFlag = 0;
    g_playing = 0;
}

}  // namespace tez::apptest
