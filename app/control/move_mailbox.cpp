#include "control/move_mailbox.h"

namespace tez {

void MoveMailbox::Open() {
    const std::lock_guard lock(mutex_);
    pending_.reset();
    open_ = true;
    woken_ = false;
}

bool MoveMailbox::Post(PlaybackMove move) {
    {
        const std::lock_guard lock(mutex_);
        if (!open_) {
            return false;
        }
        if (pending_) {
            // A move not taken yet is merged, not lost: a file written again stays so, and
            // an edit's shift of the position still counts.
            move.reloadFile = move.reloadFile || pending_->reloadFile;
            if (move.shift && pending_->shift) {
                *move.shift += *pending_->shift;
            }
        }
        pending_ = std::move(move);
    }
    changed_.notify_one();
    return true;
}

std::optional<PlaybackMove> MoveMailbox::Wait(std::chrono::milliseconds period) {
    std::unique_lock lock(mutex_);
    changed_.wait_for(lock, period, [this] { return pending_.has_value() || woken_; });
    woken_ = false;
    std::optional<PlaybackMove> move = std::move(pending_);
    pending_.reset();
    return move;
}

std::optional<PlaybackMove> MoveMailbox::TakeOrClose() {
    const std::lock_guard lock(mutex_);
    std::optional<PlaybackMove> move = std::move(pending_);
    pending_.reset();
    open_ = move.has_value();
    return move;
}

void MoveMailbox::Close() {
    const std::lock_guard lock(mutex_);
    pending_.reset();
    open_ = false;
}

void MoveMailbox::Wake() {
    {
        const std::lock_guard lock(mutex_);
        woken_ = true;
    }
    changed_.notify_one();
}

}  // namespace tez
