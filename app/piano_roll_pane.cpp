#include "piano_roll_pane.h"

#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>

#include "roll/roll_hit.h"
#include "roll_painter.h"

namespace tez {
namespace {

constexpr std::uint64_t kFirstViewBeats = 32;  // a new pane shows eight bars
constexpr double kDragPixels = 4;              // a shorter move along the ruler is a click
constexpr double kWheelStep = 120;             // one notch of a mouse wheel
constexpr double kScrollPerNotch = 60;         // pixels
constexpr double kZoomPerNotch = 1.25;
constexpr double kKeysPerNotch = 3;
constexpr std::uint64_t kNarrowestTicks = 16;
constexpr double kFollowMargin = 0.1;  // of the width: the playhead pages before the edge

}  // namespace

PianoRollPane::PianoRollPane(Commands commands, QWidget* parent)
    : QWidget(parent), commands_(std::move(commands)) {
    setMinimumHeight(static_cast<int>(roll::kRulerHeight + roll::kLegendHeight + 60));
}

QSize PianoRollPane::sizeHint() const {
    return QSize(640, 280);
}

void PianoRollPane::SetModel(roll::RollModel model, bool sameView) {
    model_ = std::move(model);
    const roll::RollView whole = roll::WholeView(model_, width(), height());
    if (hasModel_ && sameView) {
        view_.lowKey = std::min(view_.lowKey, whole.lowKey);
        view_.highKey = std::max(view_.highKey, whole.highKey);
    } else {
        view_ = whole;
        view_.toTick = std::min(whole.toTick, model_.TicksPerBeat() * kFirstViewBeats);
        hasModel_ = true;
    }
    update();
}

void PianoRollPane::SetView(const roll::RollView& view) {
    view_ = view;
    update();
}

void PianoRollPane::SetTextLines(std::int32_t cursorLine, std::int32_t firstSelected,
                                 std::int32_t lastSelected) {
    state_.cursorLine = cursorLine;
    state_.firstSelected = firstSelected;
    state_.lastSelected = lastSelected;
    update();
}

void PianoRollPane::SetPlayback(std::optional<std::uint64_t> now,
                                std::optional<std::pair<std::uint64_t, std::uint64_t>> loop) {
    if (!state_.now && now) {
        following_ = true;
    }
    state_.now = now;
    playingLoop_ = loop;
    if (!dragFrom_) {
        state_.loop = loop;
    }
    if (now && following_) {
        Follow(*now);
    }
    update();
}

void PianoRollPane::Follow(std::uint64_t now) {
    const std::uint64_t span = view_.toTick - view_.fromTick;
    const auto margin = static_cast<std::uint64_t>(static_cast<double>(span) * kFollowMargin);
    if (now < view_.fromTick || now + margin >= view_.toTick) {
        view_.fromTick = now > margin ? now - margin : 0;
        view_.toTick = view_.fromTick + span;
    }
}

roll::RollFrame PianoRollPane::Frame() const {
    roll::RollView view = view_;
    view.width = width();
    view.height = height();
    roll::RollState state = state_;
    state.silenced = solo_ != 0 ? static_cast<std::uint16_t>(~solo_ | muted_) : muted_;
    return roll::LayOutRoll(model_, view, state);
}

void PianoRollPane::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    PaintRoll(painter, Frame());
}

void PianoRollPane::mousePressEvent(QMouseEvent* event) {
    const roll::RollFrame frame = Frame();
    const QPointF at = event->position();
    if (frame.ruler.Contains(at.x(), at.y()) && event->button() == Qt::LeftButton) {
        dragFrom_ = at.x();
        return;
    }
    if (const auto channel = roll::LegendChannelAt(frame, at.x(), at.y())) {
        OnLegend(*channel, event->button() == Qt::RightButton ||
                               (event->modifiers() & Qt::ControlModifier) != 0);
        return;
    }
    if (const auto line = roll::LineAt(model_, frame, at.x(), at.y()); line && commands_.showLine) {
        commands_.showLine(*line);
    }
}

void PianoRollPane::mouseMoveEvent(QMouseEvent* event) {
    if (!dragFrom_) {
        return;
    }
    const roll::RollFrame frame = Frame();
    const double x = event->position().x();
    if (std::abs(x - *dragFrom_) >= kDragPixels) {
        const std::uint64_t a = roll::OnsetNearX(model_, frame, *dragFrom_);
        const std::uint64_t b = roll::OnsetNearX(model_, frame, x);
        state_.loop = std::pair(std::min(a, b), std::max(a, b));
        update();
    }
}

void PianoRollPane::mouseReleaseEvent(QMouseEvent* event) {
    if (!dragFrom_) {
        return;
    }
    const roll::RollFrame frame = Frame();
    const double from = *dragFrom_;
    const double to = event->position().x();
    dragFrom_.reset();
    const std::uint64_t a = roll::OnsetNearX(model_, frame, from);
    const std::uint64_t b = roll::OnsetNearX(model_, frame, to);
    if (std::abs(to - from) >= kDragPixels && a != b) {
        if (commands_.loop) {
            commands_.loop(std::min(a, b), std::max(a, b));
        }
    } else if (commands_.playFrom) {
        commands_.playFrom(a);
    }
    state_.loop = playingLoop_;
    update();
}

void PianoRollPane::OnLegend(int channel, bool solo) {
    const auto bit = static_cast<std::uint16_t>(1u << channel);
    (solo ? solo_ : muted_) ^= bit;
    if (commands_.channels) {
        commands_.channels(muted_, solo_);
    }
    update();
}

void PianoRollPane::wheelEvent(QWheelEvent* event) {
    const double notches = event->angleDelta().y() / kWheelStep;
    if ((event->modifiers() & Qt::ControlModifier) != 0) {
        ZoomAround(event->position().x(), std::pow(kZoomPerNotch, -notches));
    } else if ((event->modifiers() & Qt::ShiftModifier) != 0) {
        ScrollKeys(static_cast<int>(std::lround(notches * kKeysPerNotch)));
    } else {
        ScrollBy(-notches * kScrollPerNotch);
    }
    // The user looks elsewhere: the view stops following the playhead.
    following_ = false;
    update();
}

void PianoRollPane::ScrollBy(double pixels) {
    const std::uint64_t span = view_.toTick - view_.fromTick;
    const double ticks =
        pixels * static_cast<double>(span) / std::max(1.0, width() - roll::kKeyboardWidth);
    const double from = std::max(0.0, static_cast<double>(view_.fromTick) + ticks);
    view_.fromTick = static_cast<std::uint64_t>(from);
    view_.toTick = view_.fromTick + span;
}

void PianoRollPane::ScrollKeys(int keys) {
    const int shift = std::clamp(keys, -view_.lowKey, 127 - view_.highKey);
    view_.lowKey += shift;
    view_.highKey += shift;
}

void PianoRollPane::ZoomAround(double x, double factor) {
    const roll::RollFrame frame = Frame();
    const std::uint64_t anchor = roll::TickAtX(frame, x);
    const double span = std::clamp(
        static_cast<double>(view_.toTick - view_.fromTick) * factor,
        static_cast<double>(kNarrowestTicks),
        static_cast<double>(std::max<std::uint64_t>(model_.EndTick() * 2, kNarrowestTicks)));
    const double share = (x - frame.notesArea.x) / frame.notesArea.width;
    const double from = std::max(0.0, static_cast<double>(anchor) - share * span);
    view_.fromTick = static_cast<std::uint64_t>(from);
    view_.toTick = view_.fromTick + static_cast<std::uint64_t>(span);
}

}  // namespace tez
