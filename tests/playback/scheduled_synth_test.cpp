// The built-in synthesizer's queue from the timer thread to the audio side, with real
// threads on both ends: nothing is lost, reordered or left queued, and the music keeps the
// sound's own clock.
#include "platform/scheduled_synth.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <thread>
#include <vector>

#include "platform/periodic_timer.h"
#include "smf_builder.h"

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

// The synthesizer as the player's device -1.
class SynthDevices final : public MidiDevices {
  public:
    explicit SynthDevices(ScheduledSynth& synth) : synth_(synth) {}
    int Count() override { return 0; }
    std::string Name(int) override { return "synth"; }
    std::unique_ptr<MidiOutput> Open(int) override {
        return std::make_unique<ScheduledSynthOutput>(synth_);
    }

  private:
    ScheduledSynth& synth_;
};

// A sound device whose clock runs 0.3% fast against the monotonic one, its callbacks woken
// with jitter: a click every 100 ms of music is still 4,800 of its frames after the one
// before, every time, and the timer is asked to keep its pace.
TEST(ScheduledSynth, CountsTheMusicInTheSoundsFramesWhenTheDeviceClockRunsFast) {
    constexpr double kDeviceRate = 48000 * 1.003;
    constexpr int kClicks = 30;
    auto engine = FluidSynthEngine::Create("/usr/share/sounds/sf2/TimGM6mb.sf2", 48000);
    ASSERT_NE(engine, nullptr);
    ScheduledSynth synth(*engine, 48000, 512);
    test::Bytes track = test::FromHex("00 FF 51 03 07 A1 20");  // 500,000 us a quarter
    for (int i = 0; i < kClicks; ++i) {
        const test::Bytes click = test::FromHex(i == 0 ? "00 99 4C 6E" : "18 99 4C 6E");
        track.insert(track.end(), click.begin(), click.end());
    }
    const test::Bytes end = test::FromHex("00 FF 2F 00");
    track.insert(track.end(), end.begin(), end.end());
    SynthDevices devices(synth);
    CSmfPlayer player(devices);
    ASSERT_EQ(player.LoadBytes(test::Smf(120, {track})), 1);  // 24 ticks: 100 ms

    std::atomic<bool> stop{false};
    std::vector<std::int64_t> appliedAt;  // the frame each message took effect at
    std::thread audio([&] {
        std::array<float, 64> left{}, right{};
        float* out[] = {left.data(), right.data()};
        const auto start = std::chrono::steady_clock::now();
        std::uint64_t applied = 0;
        for (std::int64_t frame = 0; !stop; frame += 64) {
            // Each callback wakes up to 2 ms late, as audio threads do.
            const auto wake =
                start +
                std::chrono::nanoseconds(static_cast<std::int64_t>(frame / kDeviceRate * 1e9)) +
                std::chrono::microseconds(frame / 64 * 2654435761 % 2000);
            std::this_thread::sleep_until(wake);
            synth.Render(wake, 64, 0, nullptr, 2, out);
            for (; applied < synth.Applied(); ++applied) {
                appliedAt.push_back(frame);
            }
        }
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(300));  // the clock locks on
    player.Play();
    const bool heard = test::WaitUntil([&] { return synth.Applied() >= kClicks; });
    EXPECT_TRUE(heard) << synth.Applied() << " applied";
    const double pace = synth.Pace();
    player.Stop();
    stop = true;
    audio.join();
    ASSERT_GE(appliedAt.size(), std::size_t{kClicks});
    for (int i = 1; i < kClicks; ++i) {
        EXPECT_EQ(appliedAt[i] - appliedAt[i - 1], 4800) << "click " << i << " at " << appliedAt[i];
    }
    EXPECT_NEAR(pace, 1 / 1.003, 0.0015);  // the rate, and a correction for its phase
}

}  // namespace
}  // namespace tez
