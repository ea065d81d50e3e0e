// How quickly the window's Play/Stop acts on the device, with the real 100 ms handshake:
// from the press that starts a playback to its first note-on, and from the press that
// stops it to the device's reset and close. Prints median and worst of 20 rounds. The first
// note comes one beat (480 ms) after the press because the written file opens with a
// GM reset and a one-beat lead-in.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <thread>
#include <vector>

#include "control/playback_control.h"
#include "control/playback_state.h"
#include "score/note_table.h"
#include "score/smf_writer.h"

namespace {

using Clock = std::chrono::steady_clock;

// Notes the time of the first note-on and of the close of each opened output.
class TimingDevices final : public tez::MidiDevices {
  public:
    int Count() override { return 0; }
    std::string Name(int) override { return "timing"; }
    std::unique_ptr<tez::MidiOutput> Open(int) override { return std::make_unique<Output>(*this); }

    std::atomic<Clock::rep> firstNoteOn{0};
    std::atomic<Clock::rep> closed{0};

  private:
    class Output final : public tez::MidiOutput {
      public:
        explicit Output(TimingDevices& devices) : devices_(devices) {}
        ~Output() override { devices_.closed = Clock::now().time_since_epoch().count(); }
        bool Send(std::span<const std::uint8_t> message) override {
            if (message.size() == 3 && (message[0] & 0xF0) == 0x90 && message[2] != 0) {
                Clock::rep none = 0;
                devices_.firstNoteOn.compare_exchange_strong(
                    none, Clock::now().time_since_epoch().count());
            }
            return true;
        }
        void Reset() override {}

      private:
        TimingDevices& devices_;
    };
};

class QuietHost final : public tez::PlaybackHost {
  public:
    bool HasNoteRecord() const override { return true; }
    void SetStatusAndRefresh(const std::string&) override {}
    void ShowMessage(const std::string&) override {}
    int DeviceListSelection() const override { return 0; }
};

double Milliseconds(Clock::rep from, Clock::rep to) {
    return std::chrono::duration<double, std::milli>(Clock::duration(to - from)).count();
}

void Print(const char* what, std::vector<double> samples) {
    std::sort(samples.begin(), samples.end());
    std::printf("%-34s median %7.2f ms   worst %7.2f ms\n", what, samples[samples.size() / 2],
                samples.back());
}

}  // namespace

int main() {
    const auto folder = std::filesystem::temp_directory_path() / "tezplayer-stop-latency";
    std::filesystem::create_directories(folder);
    std::filesystem::current_path(folder);
    tez::NoteTable table;
    tez::ReadScoreText(table, "I0 K60 V100 L5000\n", nullptr);
    tez::WriteScoreMidiFile(table);

    TimingDevices devices;
    QuietHost host;
    tez::PlaybackControl control(host, devices);
    std::vector<double> start, stop;
    for (int round = 0; round < 20; ++round) {
        devices.firstNoteOn = 0;
        devices.closed = 0;
        const Clock::rep pressed = Clock::now().time_since_epoch().count();
        control.OnPlayStop();
        while (devices.firstNoteOn == 0) {
            std::this_thread::sleep_for(std::chrono::microseconds(100));
        }
        start.push_back(Milliseconds(pressed, devices.firstNoteOn));
        std::this_thread::sleep_for(std::chrono::milliseconds(150 + 37 * round % 100));
        const Clock::rep stopped = Clock::now().time_since_epoch().count();
        control.OnPlayStop();
        while (devices.closed == 0) {
            std::this_thread::sleep_for(std::chrono::microseconds(100));
        }
        stop.push_back(Milliseconds(stopped, devices.closed));
    }
    Print("Play press to first note-on:", start);
    Print("Stop press to device reset/close:", stop);
    std::filesystem::current_path(folder.parent_path());
    std::filesystem::remove_all(folder);
    return 0;
}
