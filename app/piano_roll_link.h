// Ties the piano roll pane to the score form: the pane shows the music the form converted,
// the notes of the text's cursor and selected lines, and the playback; its clicks move the
// text cursor and start, loop, pause and shape the form's playbacks.
#pragma once

#include <QDockWidget>
#include <QLabel>
#include <QPointer>
#include <QTimer>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "playback/playback_options.h"
#include "roll/roll_model.h"

namespace tez {

class DEzazerireVuvu;
class PianoRollPane;

inline constexpr const char* kStatusPaused = "paused";

class PianoRollLink {
  public:
    explicit PianoRollLink(DEzazerireVuvu& view);
    ~PianoRollLink();
    PianoRollLink(const PianoRollLink&) = delete;
    PianoRollLink& operator=(const PianoRollLink&) = delete;

    // The View menu's command: shows or hides the pane; the choice is kept in the settings.
    void OnToggle();
    bool IsShown() const;
    // The Play menu's pause: stops where the music stands, and the next pause goes on there.
    void OnPause();
    // A new "tez_p.smf" was written, and the playback holds the score line of each of its events.
    void OnConverted();
    // The form's poll of the playback position.
    void ShowPosition();

    PianoRollPane* Pane() const { return pane_; }
    QLabel* TransportPane() const { return transport_; }

  private:
    void Show(bool shown);
    void Rebuild();
    void OnBoxEdited();
    void ShowTextLines();
    void ShowLine(std::int32_t line);
    void Play(PlaybackOptions options);
    void SetChannels(std::uint16_t muted, std::uint16_t solo);
    QString TransportText(std::uint64_t tick);
    // The timing of the music the latest playback plays.
    const roll::RollModel& Timing();

    DEzazerireVuvu& view_;
    QPointer<QDockWidget> dock_;
    QPointer<QLabel> transport_;
    PianoRollPane* pane_ = nullptr;
    std::string shownPath_;  // the score whose music the pane shows
    bool stale_ = true;      // the pane's music is not the latest conversion's
    bool showsBox_ = false;  // the pane shows the box's typing, converted in memory
    // The tempo map of the music playing, read apart from the pane's music: the time shows
    // also while the pane is hidden, which reads no notes.
    roll::RollModel timing_;
    bool timingStale_ = true;
    std::shared_ptr<const std::vector<std::uint8_t>> timingMusic_;
    QTimer boxEdited_;
    struct Paused {
        PlaybackOptions options;
        std::uint64_t tick = 0;
    };
    std::optional<Paused> paused_;
};

}  // namespace tez
