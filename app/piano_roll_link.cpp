#include "piano_roll_link.h"

#include <QDockWidget>
#include <QLabel>
#include <QPlainTextEdit>
#include <QStatusBar>
#include <QTextBlock>
#include <cmath>

#include "framework/win_app.h"
#include "line_tags.h"
#include "main_frame.h"
#include "piano_roll_pane.h"
#include "resource_ids.h"
#include "roll/roll_reader.h"
#include "score/smf_writer.h"
#include "tezplayer_view.h"

namespace tez {
namespace {

const QString kSettingsSection = QStringLiteral("Settings");
const QString kPianoRollEntry = QStringLiteral("PianoRoll");
constexpr int kPaneHeight = 280;
// The roll follows typing once it pauses this long.
constexpr int kBoxSettleMs = 300;

QString TimeText(double seconds) {
    const auto whole = static_cast<int>(seconds);
    return QStringLiteral("%1:%2").arg(whole / 60).arg(whole % 60, 2, 10, QLatin1Char('0'));
}

}  // namespace

PianoRollLink::PianoRollLink(DEzazerireVuvu& view) : view_(view) {
    CFrameWnd* frame = view_.GetParentFrame();
    pane_ = new PianoRollPane({
        [this](std::int32_t line) { ShowLine(line); },
        [this](std::uint64_t tick) {
            PlaybackOptions options;
            options.fromTick = tick;
            Play(options);
        },
        [this](std::uint64_t from, std::uint64_t to) {
            PlaybackOptions options;
            options.fromTick = from;
            options.toTick = to;
            options.loops = -1;
            Play(options);
        },
        [this](std::uint16_t muted, std::uint16_t solo) { SetChannels(muted, solo); },
    });
    dock_ = new QDockWidget(frame);
    dock_->setObjectName(QString::number(ids::kPianoRoll));
    dock_->setFeatures(QDockWidget::NoDockWidgetFeatures);
    dock_->setTitleBarWidget(new QWidget(dock_));
    dock_->setWidget(pane_);
    frame->addDockWidget(Qt::BottomDockWidgetArea, dock_);
    dock_->hide();
    if (auto* mainFrame = dynamic_cast<CMainFrame*>(frame)) {
        transport_ = new QLabel(mainFrame->StatusBar());
        transport_->setFrameShape(QFrame::Panel);
        transport_->setFrameShadow(QFrame::Sunken);
        // First of the panes on the right, after the message pane: beside the tempo factor.
        mainFrame->StatusBar()->insertPermanentWidget(1, transport_);
        transport_->hide();
    }
    QObject::connect(view_.scoreBox_, &QPlainTextEdit::cursorPositionChanged, pane_,
                     [this] { ShowTextLines(); });
    boxEdited_.setSingleShot(true);
    boxEdited_.setInterval(kBoxSettleMs);
    QObject::connect(view_.scoreBox_, &QPlainTextEdit::textChanged, pane_,
                     [this] { OnBoxEdited(); });
    QObject::connect(&boxEdited_, &QTimer::timeout, pane_, [this] {
        stale_ = true;
        if (IsShown()) {
            Rebuild();
            ShowTextLines();
        }
    });
    QAction* action = frame->CommandAction(ids::kPianoRoll);
    action->setCheckable(true);
    const bool shown = frame->GetApp() != nullptr &&
                       frame->GetApp()->GetProfileInt(kSettingsSection, kPianoRollEntry, 0) != 0;
    if (shown) {
        Show(true);
    }
}

PianoRollLink::~PianoRollLink() {
    // The pane calls back into the form: it goes first.
    delete dock_.data();
    delete transport_.data();
}

bool PianoRollLink::IsShown() const {
    return dock_ && !dock_->isHidden();
}

void PianoRollLink::OnToggle() {
    const bool shown = !IsShown();
    Show(shown);
    CFrameWnd* frame = view_.GetParentFrame();
    if (frame->GetApp() != nullptr) {
        frame->GetApp()->WriteProfileInt(kSettingsSection, kPianoRollEntry, shown ? 1 : 0);
    }
}

void PianoRollLink::Show(bool shown) {
    CFrameWnd* frame = view_.GetParentFrame();
    frame->CommandAction(ids::kPianoRoll)->setChecked(shown);
    if (shown == IsShown()) {
        return;
    }
    // The form keeps its size: the window grows by the pane and shrinks back without it.
    const int change = shown ? kPaneHeight : -dock_->height();
    dock_->setVisible(shown);
    if (!frame->isMaximized() && !frame->isFullScreen()) {
        frame->resize(frame->width(), frame->height() + change);
    }
    if (shown) {
        Rebuild();
        ShowTextLines();
        ShowPosition();
    } else {
        ShowPosition();
    }
}

void PianoRollLink::OnConverted() {
    stale_ = true;
    timingStale_ = true;
    if (IsShown()) {
        Rebuild();
    }
}

void PianoRollLink::Rebuild() {
    if (!stale_) {
        return;
    }
    // The roll shows what the box shows: typing not saved yet, converted in memory.
    const MusicInMemory* music = view_.MusicShown();
    if (!view_.TableOf(music).HasRecords()) {
        return;
    }
    std::optional<roll::RollModel> model =
        music != nullptr ? roll::ReadRollFromBytes(*music->file, music->eventLines)
                         : roll::ReadRollFromFile(kScoreMidiFileName, view_.playback_.EventLines());
    if (model) {
        pane_->SetModel(std::move(*model), view_.m_pathName == shownPath_);
        shownPath_ = view_.m_pathName;
        showsBox_ = music != nullptr;
        stale_ = false;
    }
}

void PianoRollLink::OnBoxEdited() {
    // Large scores are followed at a save only: converting them at every pause in the
    // typing would hold the window up.
    if (view_.m_scoreText.Size() < DEzazerireVuvu::kConvertAsideBytes) {
        boxEdited_.start();
    }
}

void PianoRollLink::ShowTextLines() {
    if (!IsShown()) {
        return;
    }
    const QTextCursor cursor = view_.scoreBox_->textCursor();
    const QTextDocument* text = view_.scoreBox_->document();
    const std::int32_t cursorLine = view_.LineOfBlock(cursor.blockNumber(), showsBox_);
    if (!cursor.hasSelection()) {
        pane_->SetTextLines(cursorLine, roll::kNoLine, roll::kNoLine);
        return;
    }
    const QTextBlock first = text->findBlock(cursor.selectionStart());
    const QTextBlock last = text->findBlock(cursor.selectionEnd());
    // A selection of whole lines ends at the start of the line after them.
    const bool endsBefore =
        last.blockNumber() > first.blockNumber() && last.position() == cursor.selectionEnd();
    pane_->SetTextLines(cursorLine, view_.LineOfBlock(first.blockNumber(), showsBox_),
                        view_.LineOfBlock(last.blockNumber() - (endsBefore ? 1 : 0), showsBox_));
}

void PianoRollLink::ShowLine(std::int32_t line) {
    QPlainTextEdit* box = view_.scoreBox_;
    const int block = view_.BlockOfLine(line, showsBox_);
    if (block < 0) {
        return;
    }
    QTextCursor cursor(box->document()->findBlockByNumber(block));
    box->setTextCursor(cursor);
    box->centerCursor();
    box->setFocus();
}

void PianoRollLink::Play(PlaybackOptions options) {
    paused_.reset();
    view_.loopedLines_.reset();
    // The ruler's ticks are those of the music the roll shows.
    Rebuild();
    view_.playback_.PlayWith(options, {}, showsBox_ ? view_.MusicShown() : nullptr);
    view_.WatchPosition();
}

void PianoRollLink::SetChannels(std::uint16_t muted, std::uint16_t solo) {
    view_.playback_.SetChannels(muted, solo);
    // The change is heard at once: the music goes on from where it is.
    if (view_.playback_.IsPlaying()) {
        view_.ContinuePlayback(view_.playback_.Position().line.load(), std::nullopt);
    }
}

void PianoRollLink::OnPause() {
    PlaybackControl& playback = view_.playback_;
    if (playback.IsPlaying()) {
        paused_ = Paused{playback.LatestOptions(), playback.Position().tick.load()};
        playback.OnPlayStop();
        view_.SetStatusAndRefresh(kStatusPaused);
        view_.WatchPosition();
        return;
    }
    if (paused_) {
        PlaybackOptions options = paused_->options;
        // On after the last tick the stopped playback sent: nothing twice, nothing left out.
        options.resumeTick = view_.playback_.StoppedAt();
        const auto looped = view_.loopedLines_;
        Play(options);
        view_.loopedLines_ = looped;
    }
}

void PianoRollLink::ShowPosition() {
    const PlaybackControl& playback = view_.playback_;
    std::optional<std::uint64_t> now;
    std::optional<std::pair<std::uint64_t, std::uint64_t>> loop;
    if (playback.IsWorkerRunning()) {
        now = playback.Position().tick.load();
        const PlaybackOptions& options = playback.LatestOptions();
        if (options.loops != 0 && options.toTick != kEndOfFile) {
            loop = std::pair(options.fromTick, options.toTick);
        }
    } else if (paused_) {
        now = paused_->tick;
    }
    if (IsShown()) {
        pane_->SetPlayback(now, loop);
    }
    if (transport_) {
        // The time and tempo show while the music plays, with or without the roll.
        transport_->setVisible(now.has_value());
        if (now) {
            transport_->setText(TransportText(*now));
        }
    }
}

const roll::RollModel& PianoRollLink::Timing() {
    const std::shared_ptr<const std::vector<std::uint8_t>>& music = view_.playback_.LatestMusic();
    if (timingStale_ || music != timingMusic_) {
        std::optional<roll::RollModel> timing = music
                                                    ? roll::ReadTimingFromBytes(*music)
                                                    : roll::ReadTimingFromFile(kScoreMidiFileName);
        timing_ = std::move(timing).value_or(roll::RollModel{});
        timingMusic_ = music;
        timingStale_ = false;
    }
    return timing_;
}

QString PianoRollLink::TransportText(std::uint64_t tick) {
    const roll::RollModel& model = Timing();
    const double factor = view_.tempoAndKey_.TempoFactor();
    const double bpm = model.BeatsPerMinuteAt(tick) * factor;
    return QStringLiteral("%1 / %2  %3 BPM")
        .arg(TimeText(model.SecondsAt(tick) / factor))
        .arg(TimeText(model.SecondsAt(model.EndTick()) / factor))
        .arg(bpm, 0, 'f', bpm == std::floor(bpm) ? 0 : 1);
}

}  // namespace tez
