// The built-in synthesizer, its audio stream the playback's clock: nothing sent is lost,
// reordered or left queued, and the music is counted in the stream's own frames.
#include "platform/scheduled_synth.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <thread>
#include <vector>

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

// A burst of 1,000 messages sent in one callback of the stream's clock, rendered by an audio
// thread, then a reset from the owner's thread.
TEST(ScheduledSynth, AppliesABurstOfAThousandMessagesThenResetsSilent) {
    auto engine = FluidSynthEngine::Create("/usr/share/sounds/sf2/TimGM6mb.sf2", 48000);
    ASSERT_NE(engine, nullptr);
    ScheduledSynth synth(*engine, 48000);
    std::atomic<bool> stop{false};
    std::thread audio([&] {
        std::array<float, 256> left{}, right{};
        float* out[] = {left.data(), right.data()};
        while (!stop) {
            synth.Render(256, 0, nullptr, 2, out);
            std::this_thread::sleep_for(std::chrono::microseconds(5333));
        }
    });
    struct Burst {
        ScheduledSynth* synth;
        std::atomic<int> sent{0};
    } burst{&synth};
    synth.StartTicks(
        [](void* user) {
            auto& b = *static_cast<Burst*>(user);
            if (b.sent.load() != 0) {
                return;
            }
            int sent = 0;
            for (int i = 0; i < 1000; ++i) {
                const std::uint8_t status = (i % 2 == 0 ? 0x90 : 0x80) | (i / 2 % 16);
                const std::array<std::uint8_t, 3> message{status, std::uint8_t(40 + i % 50), 100};
                sent += b.synth->Send(message) ? 1 : 0;
            }
            b.sent = sent;
        },
        &burst);
    ASSERT_TRUE(test::WaitUntil([&] { return burst.sent.load() != 0; }));
    synth.StopTicks();
    EXPECT_EQ(burst.sent.load(), 1000);
    EXPECT_TRUE(synth.Reset());  // the last note-ons still sound until the reset behind them
    EXPECT_EQ(synth.Applied(), 1001u);
    stop = true;
    audio.join();
    // Silence from the next block on (FluidSynth's voice count may lag: the sound is what counts).
    std::array<float, 256> left{}, right{};
    float* out[] = {left.data(), right.data()};
    synth.Render(256, 0, nullptr, 2, out);
    for (int block = 0; block < 4; ++block) {
        left.fill(0);
        right.fill(0);
        synth.Render(256, 0, nullptr, 2, out);
        EXPECT_LT(*std::max_element(left.begin(), left.end()), 1e-4f) << engine->ActiveVoices();
    }
}

// The synthesizer as the player's device -1; each click is stamped with the frame it takes
// effect at.
class SynthDevices final : public MidiDevices {
    class StampingOutput final : public MidiOutput {
      public:
        StampingOutput(ScheduledSynth& synth, std::vector<std::int64_t>& clicks)
            : synth_(synth), output_(synth), clicks_(clicks) {}
        bool Send(std::span<const std::uint8_t> message) override {
            if (message[0] == 0x99) {
                clicks_.push_back(synth_.Rendered());
            }
            return output_.Send(message);
        }
        DeviceClock* OwnClock() override { return output_.OwnClock(); }
        void Reset() override { output_.Reset(); }

      private:
        ScheduledSynth& synth_;
        ScheduledSynthOutput output_;
        std::vector<std::int64_t>& clicks_;
    };

  public:
    explicit SynthDevices(ScheduledSynth& synth) : synth_(synth) { clicks.reserve(100); }
    int Count() override { return 0; }
    std::string Name(int) override { return "synth"; }
    std::unique_ptr<MidiOutput> Open(int) override {
        return std::make_unique<StampingOutput>(synth_, clicks);
    }
    std::vector<std::int64_t> clicks;  // the audio thread's while the player plays

  private:
    ScheduledSynth& synth_;
};

// A click every 100 ms of music is 4,800 frames after the one before, every one from the first,
// whatever the size of the audio callbacks, with the stream running before Play (the window's
// case) or starting long after it. The first sounds at the first millisecond rendered after Play.
TEST(ScheduledSynth, CountsTheMusicInTheStreamsFramesFromTheFirstOne) {
    constexpr int kClicks = 30;
    struct Case {
        int callbackFrames;
        int framesBeforePlay;
        bool slowFirstCallback;
    };
    const Case cases[] = {{64, 0, false}, {512, 1000, false}, {1024, 0, true}, {2048, 5000, true}};
    auto engine = FluidSynthEngine::Create("/usr/share/sounds/sf2/TimGM6mb.sf2", 48000);
    ASSERT_NE(engine, nullptr);
    test::Bytes track = test::FromHex("00 FF 51 03 07 A1 20");  // 500,000 us a quarter
    for (int i = 0; i < kClicks; ++i) {
        const test::Bytes click = test::FromHex(i == 0 ? "00 99 4C 6E" : "18 99 4C 6E");
        track.insert(track.end(), click.begin(), click.end());
    }
    const test::Bytes end = test::FromHex("00 FF 2F 00");
    track.insert(track.end(), end.begin(), end.end());
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.callbackFrames << " frames a callback");
        ScheduledSynth synth(*engine, 48000);
        SynthDevices devices(synth);
        CSmfPlayer player(devices);
        ASSERT_EQ(player.LoadBytes(test::Smf(120, {track})), 1);  // 24 ticks: 100 ms
        std::vector<float> left(c.callbackFrames), right(c.callbackFrames);
        float* out[] = {left.data(), right.data()};
        for (int frame = 0; frame < c.framesBeforePlay; frame += c.callbackFrames) {
            synth.Render(std::min(c.callbackFrames, c.framesBeforePlay - frame), 0, nullptr, 2,
                         out);
        }
        player.Play();
        std::atomic<bool> stop{false};
        std::thread audio([&] {
            if (c.slowFirstCallback) {
                std::this_thread::sleep_for(std::chrono::milliseconds(300));
            }
            while (!stop) {  // as fast as it goes: the clock is the frames, not the time
                synth.Render(c.callbackFrames, 0, nullptr, 2, out);
            }
        });
        EXPECT_TRUE(test::WaitUntil([&] { return player.IsAnyTrackActive() == 0; }));
        player.Stop();
        stop = true;
        audio.join();
        ASSERT_EQ(devices.clicks.size(), std::size_t{kClicks});
        EXPECT_EQ(devices.clicks[0], (c.framesBeforePlay + 47) / 48 * 48);
        for (int i = 1; i < kClicks; ++i) {
            EXPECT_EQ(devices.clicks[i] - devices.clicks[i - 1], 4800) << "click " << i;
        }
    }
}

}  // namespace
}  // namespace tez
