#include "lsp_session.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "version_switch.h"

namespace tez::cli {
namespace {

constexpr double kTempoStep = 0.1;
constexpr double kSlowest = 0.25;
constexpr double kFastest = 4.0;
constexpr int kKeyLimit = 24;
constexpr auto kFollowEvery = std::chrono::milliseconds(10);

std::string TempoText(double factor) {
    char text[32];
    std::snprintf(text, sizeof text, "tempo %.2f", factor);
    return text;
}

}  // namespace

PlaybackSession::PlaybackSession(MidiDevices& devices, LineSink sink)
    : devices_(devices), sink_(std::move(sink)), player_(devices) {
    player_.SetPositionSink(&position_);
    follower_ = std::thread([this] { FollowPlayback(); });
}

PlaybackSession::~PlaybackSession() {
    {
        std::lock_guard lock(mutex_);
        quitting_ = true;
        StopLocked();
    }
    quit_.notify_all();
    follower_.join();
}

void PlaybackSession::SetDevice(int id) {
    std::lock_guard lock(mutex_);
    device_ = id;
}

std::optional<PlaybackOptions> PlaybackSession::RangeIn(const ScoreVersion& version) const {
    if (version.file.empty()) {
        return std::nullopt;
    }
    const std::optional<std::uint64_t> from = LineOnsetTick(version.table, firstLine_);
    if (!from) {
        return std::nullopt;
    }
    PlaybackOptions options;
    options.fromTick = *from;
    if (lastLine_) {
        options.toTick = LineOnsetTick(version.table, *lastLine_ + 1).value_or(kEndOfFile);
        if (options.toTick <= options.fromTick) {
            return std::nullopt;
        }
        options.loops = -1;
    }
    options.tempoFactor = tempo_;
    options.transpose = transpose_;
    return options;
}

CommandOutcome PlaybackSession::Play(const std::string& uri,
                                     std::shared_ptr<const ScoreVersion> version,
                                     std::int32_t first, std::optional<std::int32_t> last) {
    std::lock_guard lock(mutex_);
    if (!version->error.empty()) {
        return {false, version->error};
    }
    const std::int32_t oldFirst = firstLine_;
    const std::optional<std::int32_t> oldLast = lastLine_;
    firstLine_ = first;
    lastLine_ = last;
    const std::optional<PlaybackOptions> range = RangeIn(*version);
    if (!range) {
        firstLine_ = oldFirst;
        lastLine_ = oldLast;
        return {false,
                last ? "no notes in lines " + std::to_string(first) + "-" + std::to_string(*last)
                     : "line " + std::to_string(first) + " is past the last note line"};
    }
    if (openDevice_ && *openDevice_ != device_) {
        StopLocked();  // another device was chosen: the old one is closed first
    }
    player_.Halt();
    devices_.Prepare(device_);
    player_.LoadBytes(version->file);
    player_.SetSourceLines(version->eventLines);
    player_.SetOptions(*range);
    player_.m_deviceId = device_;
    position_.line = -1;
    player_.Play();
    if (!player_.m_port.IsOpen()) {
        player_.Stop();
        openDevice_.reset();
        state_ = State::kStopped;
        const std::string why = devices_.OpenFailure(device_);
        return {false,
                "cannot open device " + std::to_string(device_) + (why.empty() ? "" : ": " + why)};
    }
    openDevice_ = device_;
    state_ = State::kPlaying;
    uri_ = uri;
    playing_ = version;
    newest_ = std::move(version);
    return {true, last ? "looping lines " + std::to_string(first) + "-" + std::to_string(*last)
                       : "playing from line " + std::to_string(first)};
}

CommandOutcome PlaybackSession::MoveTo(std::shared_ptr<const ScoreVersion> next) {
    const std::optional<PlaybackOptions> range = RangeIn(*next);
    if (!range) {
        return {false, "the new version has no notes there; playing on"};
    }
    const std::optional<std::uint64_t> from = MoveToNewVersion(
        player_, position_, playing_->table, next->table, next->file, next->eventLines, *range);
    if (!from) {
        StopLocked();
        return {false, "out of memory taking the new version; stopped"};
    }
    playing_ = next;
    newest_ = std::move(next);
    state_ = State::kPlaying;
    return {true, "playing from tick " + std::to_string(*from)};
}

CommandOutcome PlaybackSession::TogglePause() {
    std::lock_guard lock(mutex_);
    switch (state_) {
        case State::kStopped:
            return {false, "nothing is playing"};
        case State::kPlaying:
            player_.Halt();
            state_ = State::kPaused;
            return {true, "paused"};
        case State::kPaused:
            break;
    }
    const CommandOutcome moved = MoveTo(newest_);
    return moved.ok ? CommandOutcome{true, "playing"} : moved;
}

void PlaybackSession::StopLocked() {
    player_.Stop();
    openDevice_.reset();
    state_ = State::kStopped;
}

CommandOutcome PlaybackSession::Stop() {
    std::string uri;
    {
        std::lock_guard lock(mutex_);
        if (state_ == State::kStopped) {
            return {true, "stopped"};
        }
        StopLocked();
        uri = uri_;
    }
    sink_(uri, std::nullopt);
    return {true, "stopped"};
}

CommandOutcome PlaybackSession::StepTempo(int steps) {
    std::lock_guard lock(mutex_);
    tempo_ = std::clamp(std::round((tempo_ + steps * kTempoStep) * 100) / 100, kSlowest, kFastest);
    if (state_ == State::kPlaying) {
        const CommandOutcome moved = MoveTo(playing_);
        if (!moved.ok) {
            return moved;
        }
    }
    return {true, TempoText(tempo_)};
}

CommandOutcome PlaybackSession::StepKey(int steps) {
    std::lock_guard lock(mutex_);
    transpose_ = std::clamp(transpose_ + steps, -kKeyLimit, kKeyLimit);
    if (state_ == State::kPlaying) {
        const CommandOutcome moved = MoveTo(playing_);
        if (!moved.ok) {
            return moved;
        }
    }
    const bool one = transpose_ == 1 || transpose_ == -1;
    return {true, "transposed " + std::to_string(transpose_) + (one ? " semitone" : " semitones")};
}

void PlaybackSession::TakeVersion(const std::string& uri,
                                  std::shared_ptr<const ScoreVersion> version) {
    std::lock_guard lock(mutex_);
    if (state_ == State::kStopped || uri != uri_ || !version->error.empty() ||
        version->documentVersion <= newest_->documentVersion) {
        return;  // a version that cannot be played leaves the old one playing
    }
    if (state_ == State::kPaused) {
        newest_ = std::move(version);
        return;
    }
    MoveTo(std::move(version));
}

// The sounding line at most every kLineEvery, and the end of the music.
void PlaybackSession::FollowPlayback() {
    std::int32_t sent = -1;
    auto sentAt = std::chrono::steady_clock::now() - kLineEvery;
    std::unique_lock lock(mutex_);
    while (!quitting_) {
        quit_.wait_for(lock, kFollowEvery);
        if (state_ != State::kPlaying) {
            sent = -1;
            continue;
        }
        const std::string uri = uri_;
        if (player_.IsAnyTrackActive() == 0) {
            StopLocked();
            lock.unlock();
            sink_(uri, std::nullopt);
            lock.lock();
            continue;
        }
        const std::int32_t line = position_.line.load();
        const auto now = std::chrono::steady_clock::now();
        if (line == sent || line < 1 || now - sentAt < kLineEvery) {
            continue;
        }
        sent = line;
        sentAt = now;
        lock.unlock();
        sink_(uri, line - 1);
        lock.lock();
    }
}

}  // namespace tez::cli
