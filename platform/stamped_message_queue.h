// A wait-free queue of MIDI messages, each stamped with the time it is due, from one
// producing thread to one consuming thread (the timer thread to an audio or JACK thread).
// Storage is reserved once; neither side allocates, locks or waits.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>

namespace tez {

struct StampedMessage {
    std::int64_t due;                     // nanoseconds on the monotonic clock
    std::span<const std::uint8_t> bytes;  // empty: a reset request
};

class StampedMessageQueue {
  public:
    // Room for `capacityBytes` (rounded up to a power of two) of messages and their stamps.
    explicit StampedMessageQueue(std::size_t capacityBytes);
    StampedMessageQueue(const StampedMessageQueue&) = delete;
    StampedMessageQueue& operator=(const StampedMessageQueue&) = delete;

    // Producer: false, and nothing queued, when the message does not fit now.
    bool Push(std::int64_t due, std::span<const std::uint8_t> bytes);

    // Consumer: the oldest message, valid until Pop; nothing while the queue is empty.
    std::optional<StampedMessage> Front();
    void Pop();

    // Messages taken off by the consumer so far. Any thread.
    std::uint64_t Popped() const { return popped_.load(std::memory_order_acquire); }
    std::uint64_t Pushed() const { return pushed_.load(std::memory_order_acquire); }

  private:
    struct Header {
        std::int64_t due;
        std::uint32_t length;  // kWrap: the rest up to the end of the storage is unused
        std::uint32_t unused;
    };
    static constexpr std::uint32_t kWrap = 0xFFFFFFFF;

    std::size_t RecordSize(std::size_t length) const;
    Header* HeaderAt(std::uint64_t position) const;

    std::size_t capacity_;
    std::unique_ptr<std::uint8_t[]> storage_;
    // Positions count bytes since the start and never wrap; storage is indexed modulo capacity.
    alignas(64) std::atomic<std::uint64_t> head_{0};  // written by the producer
    alignas(64) std::atomic<std::uint64_t> tail_{0};  // written by the consumer
    std::atomic<std::uint64_t> pushed_{0};
    alignas(64) std::atomic<std::uint64_t> popped_{0};
};

}  // namespace tez
