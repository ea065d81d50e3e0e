#include "platform/stamped_message_queue.h"

#include <bit>
#include <cstring>

namespace tez {

StampedMessageQueue::StampedMessageQueue(std::size_t capacityBytes)
    : capacity_(std::bit_ceil(std::max<std::size_t>(capacityBytes, 4 * sizeof(Header)))),
      storage_(new std::uint8_t[capacity_]) {}

std::size_t StampedMessageQueue::RecordSize(std::size_t length) const {
    // Every record starts on a header's alignment, so a header never straddles the end.
    constexpr std::size_t kAlign = sizeof(Header);
    return sizeof(Header) + (length + kAlign - 1) / kAlign * kAlign;
}

StampedMessageQueue::Header* StampedMessageQueue::HeaderAt(std::uint64_t position) const {
    return reinterpret_cast<Header*>(&storage_[position & (capacity_ - 1)]);
}

bool StampedMessageQueue::Push(std::int64_t due, std::span<const std::uint8_t> bytes) {
    const std::size_t size = RecordSize(bytes.size());
    if (size > capacity_ / 2) {
        return false;
    }
    std::uint64_t head = head_.load(std::memory_order_relaxed);
    const std::uint64_t tail = tail_.load(std::memory_order_acquire);
    const std::size_t toEnd = capacity_ - (head & (capacity_ - 1));
    // A record is kept in one piece: one that would not fit before the end starts over at 0.
    const std::size_t skip = toEnd < size ? toEnd : 0;
    if (head + skip + size - tail > capacity_) {
        return false;
    }
    if (skip != 0) {
        HeaderAt(head)->length = kWrap;
        head += skip;
    }
    Header* header = HeaderAt(head);
    header->due = due;
    header->length = static_cast<std::uint32_t>(bytes.size());
    if (!bytes.empty()) {
        std::memcpy(header + 1, bytes.data(), bytes.size());
    }
    head_.store(head + size, std::memory_order_release);
    pushed_.fetch_add(1, std::memory_order_release);
    return true;
}

std::optional<StampedMessage> StampedMessageQueue::Front() {
    std::uint64_t tail = tail_.load(std::memory_order_relaxed);
    const std::uint64_t head = head_.load(std::memory_order_acquire);
    if (tail == head) {
        return std::nullopt;
    }
    if (HeaderAt(tail)->length == kWrap) {
        tail += capacity_ - (tail & (capacity_ - 1));
        tail_.store(tail, std::memory_order_release);
        if (tail == head) {
            return std::nullopt;
        }
    }
    const Header* header = HeaderAt(tail);
    return StampedMessage{header->due,
                          {reinterpret_cast<const std::uint8_t*>(header + 1), header->length}};
}

void StampedMessageQueue::Pop() {
    const std::uint64_t tail = tail_.load(std::memory_order_relaxed);
    tail_.store(tail + RecordSize(HeaderAt(tail)->length), std::memory_order_release);
    popped_.fetch_add(1, std::memory_order_release);
}

}  // namespace tez
