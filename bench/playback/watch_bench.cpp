// How soon an edit of a 10,000-line score is heard while `tez play --watch` plays it: from
// the moment a save is complete (written in place, or written beside and renamed, in turn)
// to the first note-on of the new version, through the same watching code and the same
// 10 ms polling as `tez play`. Beside it, what one conversion and start of the new version
// costs by itself, and the settle a closed save is given before it is read.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "cli/range_options.h"
#include "cli/score_watch.h"
#include "score/smf_writer.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kLines = 10'000;
constexpr int kRounds = 12;
constexpr auto kPoll = std::chrono::milliseconds(10);  // as `tez play` polls

// Notes when the first note-on of a given key is sent.
class KeyWatch final : public tez::MidiDevices {
  public:
    int Count() override { return 0; }
    std::string Name(int) override { return "bench"; }
    std::unique_ptr<tez::MidiOutput> Open(int) override { return std::make_unique<Output>(*this); }
    void Expect(int key) {
        heardAt = 0;
        wanted = key;
    }

    std::atomic<int> wanted{-1};
    std::atomic<Clock::rep> heardAt{0};

  private:
    class Output final : public tez::MidiOutput {
      public:
        explicit Output(KeyWatch& devices) : devices_(devices) {}
        bool Send(std::span<const std::uint8_t> message) override {
            if (message.size() == 3 && (message[0] & 0xF0) == 0x90 && message[2] != 0 &&
                message[1] == devices_.wanted && devices_.heardAt == 0) {
                devices_.heardAt = Clock::now().time_since_epoch().count();
            }
            return true;
        }
        void Reset() override {}

      private:
        KeyWatch& devices_;
    };
};

// One note every 3 ticks (12 ms at the score's tempo), all on `key`.
std::string Score(int key) {
    std::string text;
    for (int i = 0; i < kLines; ++i) {
        text += "I3 K" + std::to_string(key) + " V100 L2\n";
    }
    return text;
}

void Save(const std::string& path, const std::string& text, bool rename) {
    const std::string target = rename ? path + ".new" : path;
    std::ofstream(target, std::ios::trunc) << text;
    if (rename) {
        std::filesystem::rename(target, path);
    }
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

}  // namespace

int main() {
    const auto folder =
        std::filesystem::temp_directory_path() / ("tez-watch-bench-" + std::to_string(getpid()));
    std::filesystem::create_directories(folder);
    std::filesystem::current_path(folder);
    const std::string path = "score.tez";
    Save(path, Score(60), false);

    KeyWatch devices;
    tez::CSmfPlayer player(devices);
    tez::cli::RangeArgs range;
    tez::NoteTable score;
    player.m_deviceId = -1;
    tez::cli::LoadWithRange(player, path, range, tez::cli::LoopCount::kOptional, score);
    tez::cli::ScoreFollower follower(player, path, range, std::move(score));
    player.Play();

    // The conversion and start alone: the same work without waiting for a save.
    std::vector<double> convert;
    for (int i = 0; i < 5; ++i) {
        const auto start = Clock::now();
        follower.TakeNewVersion();
        convert.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    }

    std::vector<double> heard;
    for (int round = 0; round < kRounds; ++round) {
        const int key = 61 + round % 2;
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        devices.Expect(key);
        Save(path, Score(key), round % 2 == 1);
        const auto saved = Clock::now();
        while (devices.heardAt == 0 && Clock::now() - saved < std::chrono::seconds(3)) {
            std::this_thread::sleep_for(kPoll);
            follower.Poll();
        }
        heard.push_back(std::chrono::duration<double, std::milli>(
                            Clock::duration(devices.heardAt.load()) - saved.time_since_epoch())
                            .count());
    }
    player.Stop();
    std::filesystem::current_path(folder.parent_path());
    std::filesystem::remove_all(folder);
    std::printf(
        "watch %d-line score: save to first note of the new version median %.1f ms, max %.1f ms "
        "(%d saves); of it, the settle %lld ms and one conversion and start %.1f ms "
        "(median)\n",
        kLines, Median(heard), *std::max_element(heard.begin(), heard.end()), kRounds,
        static_cast<long long>(tez::cli::SaveWatch::kSettle.count()), Median(convert));
    return 0;
}
