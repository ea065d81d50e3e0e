// The piano roll pane: paints the roll's layout of the music for the part in view, and
// turns the pointer into the form's commands: a note shows its line, the ruler plays from a
// place or loops a span dragged along it, the legend mutes and solos channels.
#pragma once

#include <QWidget>
#include <cstdint>
#include <functional>
#include <optional>

#include "roll/roll_layout.h"
#include "roll/roll_model.h"

namespace tez {

class PianoRollPane final : public QWidget {
  public:
    struct Commands {
        std::function<void(std::int32_t line)> showLine;
        std::function<void(std::uint64_t tick)> playFrom;
        std::function<void(std::uint64_t from, std::uint64_t to)> loop;
        std::function<void(std::uint16_t muted, std::uint16_t solo)> channels;
    };

    explicit PianoRollPane(Commands commands, QWidget* parent = nullptr);

    // The music of a piece newly opened, or with `sameView` a new version of the one shown:
    // the part in view then stays where it was, so where the music stayed the same notes
    // show, and the keys in view widen to take in any new ones.
    void SetModel(roll::RollModel model, bool sameView);
    const roll::RollModel& Model() const { return model_; }
    // The text's cursor line and selected lines.
    void SetTextLines(std::int32_t cursorLine, std::int32_t firstSelected,
                      std::int32_t lastSelected);
    // Where the music stands (nothing when none plays) and the span it repeats. The view
    // follows the playhead until the user scrolls it away; the next playback follows again.
    void SetPlayback(std::optional<std::uint64_t> now,
                     std::optional<std::pair<std::uint64_t, std::uint64_t>> loop);
    std::uint16_t Muted() const { return muted_; }
    std::uint16_t Solo() const { return solo_; }
    // The layout as the pane shows it now.
    roll::RollFrame Frame() const;
    const roll::RollView& View() const { return view_; }
    void SetView(const roll::RollView& view);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    QSize sizeHint() const override;

  private:
    void OnLegend(int channel, bool solo);
    void ScrollBy(double pixels);
    void ScrollKeys(int keys);
    void ZoomAround(double x, double factor);
    void Follow(std::uint64_t now);

    Commands commands_;
    roll::RollModel model_;
    roll::RollView view_;
    roll::RollState state_;
    bool hasModel_ = false;
    bool following_ = true;
    std::uint16_t muted_ = 0;
    std::uint16_t solo_ = 0;
    std::optional<double> dragFrom_;  // x where a press on the ruler began
    std::optional<std::pair<std::uint64_t, std::uint64_t>> playingLoop_;
};

}  // namespace tez
