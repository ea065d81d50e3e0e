// Starting a playback anywhere in a file of 1,000,000 notes: the first start (which builds
// the file's index), then starts at random ticks, against replaying every event from the
// file's start to the same tick, the peer a player without an index would pay.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <random>
#include <vector>

#include "playback/channel_state.h"
#include "playback/smf_event.h"
#include "playback/smf_player.h"

namespace {

using Clock = std::chrono::steady_clock;
using Bytes = std::vector<std::uint8_t>;

constexpr int kNotes = 1'000'000;
constexpr int kSeeks = 40;

void Put(Bytes& out, std::initializer_list<std::uint8_t> bytes) {
    out.insert(out.end(), bytes);
}

// Format 1: `tracks` tracks share the notes, each on its own channel, one every 30 ticks per
// track, with a controller change every 16 notes.
Bytes MakeFile(int tracks) {
    Bytes file = {'M',  'T', 'h', 'd', 0, 0, 0, 6, 0, 1, 0, static_cast<std::uint8_t>(tracks),
                  0x01, 0xE0};
    for (int t = 0; t < tracks; ++t) {
        Bytes track = {0x00, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20, 0x00};  // then each event's delta
        for (int n = 0; n < kNotes / tracks; ++n) {
            const auto channel = static_cast<std::uint8_t>(t % 16);
            const auto key = static_cast<std::uint8_t>(40 + n % 40);
            if (n % 16 == 0) {
                Put(track, {static_cast<std::uint8_t>(0xB0 | channel), 0x07,
                            static_cast<std::uint8_t>(n % 128), 0x00});
            }
            Put(track, {static_cast<std::uint8_t>(0x90 | channel), key, 0x64, 0x14,
                        static_cast<std::uint8_t>(0x80 | channel), key, 0x00, 0x0A});
        }
        Put(track, {0xFF, 0x2F, 0x00});
        Put(file, {'M', 'T', 'r', 'k'});
        for (int shift = 24; shift >= 0; shift -= 8) {
            file.push_back(static_cast<std::uint8_t>(track.size() >> shift));
        }
        file.insert(file.end(), track.begin(), track.end());
    }
    return file;
}

double Ms(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

// The state at `tick` found by reading every event from the start, as a player without an
// index would.
std::size_t ReplayTo(const tez::CSmfPlayer& player, std::uint64_t tick) {
    tez::ChannelState state(tez::CSmfPlayer::kDefaultTempo);
    for (std::int32_t t = 0; t < player.m_trackCount; ++t) {
        const tez::TrackCursor& track = player.m_tracks[t];
        const std::uint8_t* pos = track.data.get();
        std::uint32_t delta = 0;
        tez::ReadVarLen(pos, track.End(), delta);
        std::uint64_t time = delta;
        std::uint8_t status = 0;
        tez::SmfEvent event;
        while (time < tick && tez::ReadSmfEvent(pos, track.End(), status, time, event)) {
            state.Apply(event);
        }
    }
    return state.LongMessages() + static_cast<std::size_t>(state.Tempo());
}

void Run(int tracks) {
    const Bytes file = MakeFile(tracks);
    tez::NoMidiDevices none;
    tez::CSmfPlayer player(none);
    player.LoadBytes(file);
    std::mt19937_64 random(7);
    const auto seek = [&](std::uint64_t tick) {
        tez::PlaybackOptions options;
        options.fromTick = tick;
        player.SetOptions(options);
        const auto start = Clock::now();
        player.Cue();
        return Clock::now() - start;
    };
    const std::uint64_t end = 30ull * kNotes / tracks;
    std::vector<double> firsts;
    for (int i = 0; i < 5; ++i) {
        player.LoadBytes(file);  // a new file: its index is built again
        firsts.push_back(Ms(seek(end / 2)));
    }
    std::sort(firsts.begin(), firsts.end());
    const double first = firsts[firsts.size() / 2];
    std::vector<double> seeks, replays;
    for (int i = 0; i < kSeeks; ++i) {
        const std::uint64_t tick = random() % end;
        seeks.push_back(Ms(seek(tick)));
        const auto start = Clock::now();
        volatile std::size_t chased = ReplayTo(player, tick);
        (void)chased;
        replays.push_back(Ms(Clock::now() - start));
    }
    std::sort(seeks.begin(), seeks.end());
    std::sort(replays.begin(), replays.end());
    const tez::SmfTimeline& timeline = player.Index().Timeline();
    std::printf(
        "seek %d notes, %2d tracks: first after loading (builds the index) %6.1f ms; then median "
        "%5.2f ms, "
        "max %5.2f ms; replay from the start median %6.1f ms (%.0fx the seek); timeline %.1f "
        "bytes an event\n",
        kNotes, tracks, first, seeks[kSeeks / 2], seeks.back(), replays[kSeeks / 2],
        replays[kSeeks / 2] / seeks[kSeeks / 2],
        static_cast<double>(timeline.MemoryBytes()) / static_cast<double>(timeline.Events().size()));
}

}  // namespace

int main() {
    Run(1);
    Run(16);
    return 0;
}
