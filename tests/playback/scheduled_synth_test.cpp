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

// The synthesizer as the player's device, each click stamped with the frame it takes effect at.
class StampingSynth final : public MidiDevices, public MidiOutput {
  public:
    explicit StampingSynth(ScheduledSynth& synth) : synth_(synth) { clicks.reserve(100); }
    int Count() override { return 0; }
    std::string Name(int) override { return "synth"; }
    std::unique_ptr<MidiOutput> Open(int) override { return std::make_unique<Forward>(*this); }
    bool Send(std::span<const std::uint8_t> message) override {
        if (message[0] == 0x99) {
            clicks.push_back(synth_.Rendered());
        }
        return synth_.Send(message);
    }
    DeviceClock* OwnClock() override { return &synth_; }
    void Reset() override { synth_.Reset(); }
    std::vector<std::int64_t> clicks;  // the audio thread's while the player plays

  private:
    struct Forward final : MidiOutput {
        explicit Forward(MidiOutput& to) : to(to) {}
        bool Send(std::span<const std::uint8_t> message) override { return to.Send(message); }
        DeviceClock* OwnClock() override { return to.OwnClock(); }
        void Reset() override { to.Reset(); }
        MidiOutput& to;
    };
    ScheduledSynth& synth_;
};

// A click every 100 ms of music is 4,800 frames after the one before, every one from the first,
// whatever the size of the audio callbacks, with the stream running before Play (the window's
// case) or starting long after it. The first sounds at the first millisecond rendered after Play.
// A note left sounding at the end is silenced by the reset of Stop, from the owner's thread.
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
    std::string track = "00 FF 51 03 07 A1 20 00 99 4C 6E";  // 500,000 us a quarter
    for (int i = 1; i < kClicks; ++i) {
        track += " 18 99 4C 6E";  // 24 ticks: 100 ms
    }
    track += " 00 C0 13 00 90 3C 7F";  // an organ note without its note-off
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.callbackFrames << " frames a callback");
        ScheduledSynth synth(*engine, 48000);
        StampingSynth devices(synth);
        CSmfPlayer player(devices);
        ASSERT_EQ(player.LoadBytes(test::Smf(120, {test::FromHex(track + " 00 FF 2F 00")})), 1);
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
        // The dry sound, effects apart, 43 to 128 ms on: the organ's 0.05 has gone (FluidSynth's
        // reset releases quickly rather than cutting off).
        std::vector<float> dry(2048), wet(5 * 2048);
        float* fx[] = {&wet[0], &wet[2048], &wet[4096], &wet[6144]};
        float* ends[] = {dry.data(), &wet[8192]};
        for (int round = 0; round < 3; ++round) {
            std::fill(dry.begin(), dry.end(), 0.0f);
            synth.Render(2048, 4, fx, 2, ends);
        }
        EXPECT_LT(*std::max_element(dry.begin(), dry.end()), 0.01f);
        ASSERT_EQ(devices.clicks.size(), std::size_t{kClicks});
        EXPECT_EQ(devices.clicks[0], (c.framesBeforePlay + 47) / 48 * 48);
        for (int i = 1; i < kClicks; ++i) {
            EXPECT_EQ(devices.clicks[i] - devices.clicks[i - 1], 4800) << "click " << i;
        }
    }
}

}  // namespace
}  // namespace tez
