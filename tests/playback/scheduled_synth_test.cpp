// The built-in synthesizer's queue from the timer thread to the audio side, with real
// threads on both ends: nothing is lost, reordered or left queued.
#include "platform/scheduled_synth.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <thread>
#include <vector>

#include "platform/periodic_timer.h"
#include "recording_devices.h"

namespace tez {
namespace {

TEST(StampedMessageQueue, KeepsOrderAndBytesAcrossTheWrapAndRefusesWhenFull) {
    StampedMessageQueue queue(256);
    std::vector<std::uint8_t> bytes(40);
    for (int round = 0; round < 50; ++round) {
        const std::size_t length = 1 + round % bytes.size();
        std::fill(bytes.begin(), bytes.end(), static_cast<std::uint8_t>(round));
        ASSERT_TRUE(queue.Push(round, std::span(bytes).first(length)));
        ASSERT_TRUE(queue.Push(-round, {}));
        const auto message = queue.Front();
        ASSERT_TRUE(message);
        EXPECT_EQ(message->due, round);
        EXPECT_EQ(std::vector(message->bytes.begin(), message->bytes.end()),
                  std::vector(bytes.begin(), bytes.begin() + static_cast<long>(length)));
        queue.Pop();
        EXPECT_EQ(queue.Front()->due, -round);
        queue.Pop();
    }
    EXPECT_FALSE(queue.Front());
    int pushed = 0;
    while (queue.Push(pushed, std::span(bytes).first(8))) {
        ++pushed;
    }
    EXPECT_GE(pushed, 256 / 32 - 1);  // 32 bytes a record; at most one lost to the wrap
}

// A burst of 1,000 messages sent in one timer callback, rendered by an audio thread.
TEST(ScheduledSynth, AppliesABurstOfAThousandMessagesThenResetsSilent) {
    auto engine = FluidSynthEngine::Create("/usr/share/sounds/sf2/TimGM6mb.sf2", 48000);
    ASSERT_NE(engine, nullptr);
    ScheduledSynth synth(*engine, 48000, 256);
    ScheduledSynthOutput output(synth);
    std::atomic<bool> stop{false};
    std::thread audio([&] {
        std::array<float, 256> left{}, right{};
        float* out[] = {left.data(), right.data()};
        while (!stop) {
            synth.Render(std::chrono::steady_clock::now(), 256, 0, nullptr, 2, out);
            std::this_thread::sleep_for(std::chrono::microseconds(5333));
        }
    });
    struct Burst {
        PeriodicTimer timer;
        ScheduledSynthOutput* output;
        std::atomic<int> sent{0};
    } burst{{}, &output};
    burst.timer.Start(
        std::chrono::milliseconds(1),
        [](void* user) {
            auto& b = *static_cast<Burst*>(user);
            if (b.sent.load() != 0) {
                return;
            }
            b.output->SetDueTime(b.timer.CurrentDeadline());
            int sent = 0;
            for (int i = 0; i < 1000; ++i) {
                const std::uint8_t status = (i % 2 == 0 ? 0x90 : 0x80) | (i / 2 % 16);
                const std::array<std::uint8_t, 3> message{status, std::uint8_t(40 + i % 50), 100};
                sent += b.output->Send(message) ? 1 : 0;
            }
            b.sent = sent;
        },
        &burst);
    ASSERT_TRUE(test::WaitUntil([&] { return burst.sent.load() != 0; }));
    burst.timer.Stop();
    EXPECT_EQ(burst.sent.load(), 1000);
    output.Reset();  // the last note-ons still sound until the reset behind them
    EXPECT_EQ(synth.Applied(), 1001u);
    stop = true;
    audio.join();
    // Silence from the next block on (FluidSynth's voice count may lag: the sound is what counts).
    std::array<float, 256> left{}, right{};
    float* out[] = {left.data(), right.data()};
    synth.Render(std::chrono::steady_clock::now(), 256, 0, nullptr, 2, out);
    for (int block = 0; block < 4; ++block) {
        left.fill(0);
        right.fill(0);
        synth.Render(std::chrono::steady_clock::now(), 256, 0, nullptr, 2, out);
        EXPECT_LT(*std::max_element(left.begin(), left.end()), 1e-4f) << engine->ActiveVoices();
    }
}

}  // namespace
}  // namespace tez
