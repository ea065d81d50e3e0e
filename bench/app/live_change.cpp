// Live changes in the window (offscreen), measured where they are heard.
//   live_change presses DEVICE [keys]: a dense score with a chord held on another channel, on
//     system device DEVICE (a JACK monitor's port), 20 F8 presses (or with `keys` 12
//     Shift+F8 presses) 40 ms apart while it plays; prints the longest time the window did
//     not answer. The notes sent are judged from the monitor's record.
//   live_change save LINES: a score of LINES lines playing with Follow the file on, saved
//     with its keys an octave higher; prints how long after the save the new version sounds
//     (a note every 48 ms, so the next onset comes soon after the switch), and until the
//     window has the new version shown and converted, the longest time it did not answer
//     and the CPU time it spent.
//   live_change typed MEGABYTES: a score of that size in the box with a line typed at its
//     top, played with F5; prints how long until the first note and the longest time the
//     window did not answer in between.
#include <time.h>

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTextCursor>
#include <QTimer>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <thread>

#include "framework/frame_wnd.h"
#include "framework/user_prompts.h"
#include "resource_ids.h"
#include "tezplayer_app.h"
#include "tezplayer_view.h"

namespace {

using Clock = std::chrono::steady_clock;

class QuietPrompts final : public tez::UserPrompts {
  public:
    void MessageBox(QWidget*, const QString&) override {}
    std::optional<QString> OpenFile(QWidget*, const tez::OpenFileRequest&) override {
        return std::nullopt;
    }
};

// Notes when the first note-on at or above key 72 is sent.
class HighKeyDevices final : public tez::MidiDevices {
  public:
    int Count() override { return 0; }
    std::string Name(int) override { return "timing"; }
    std::unique_ptr<tez::MidiOutput> Open(int) override { return std::make_unique<Output>(*this); }
    std::atomic<Clock::rep> firstHigh{0};
    std::atomic<Clock::rep> lastLow{0};  // the last note-on of the old version before it
    std::atomic<int> noteOns{0};

  private:
    class Output final : public tez::MidiOutput {
      public:
        explicit Output(HighKeyDevices& devices) : devices_(devices) {}
        bool Send(std::span<const std::uint8_t> message) override {
            if (message.size() == 3 && (message[0] & 0xF0) == 0x90 && message[2] != 0) {
                ++devices_.noteOns;
                Clock::rep none = 0;
                const Clock::rep now = Clock::now().time_since_epoch().count();
                if (message[1] >= 72) {
                    devices_.firstHigh.compare_exchange_strong(none, now);
                } else if (devices_.firstHigh == 0) {
                    devices_.lastLow = now;
                }
            }
            return true;
        }
        void Reset() override {}

      private:
        HighKeyDevices& devices_;
    };
};

void WriteScore(const char* path, long lines, int key, int interval) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    for (long i = 0; i < lines; ++i) {
        out << "I" << interval << " K" << key + i % 12 << " V90 L" << interval * 2 / 3 << "\n";
    }
}

void WaitFor(const std::function<bool()>& done) {
    while (!done()) {
        QApplication::processEvents(QEventLoop::AllEvents, 5);
    }
}

// As WaitFor, but sleeping until the next event (the 5 ms ticks of Unanswered come at least
// that often), so that the process's CPU time is the window's own and not this loop's.
void WaitBetweenEvents(const std::function<bool()>& done) {
    while (!done()) {
        QApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
}

double CpuMs() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
}

// The longest gap between the ticks of a 5 ms timer while it lives: how long the window
// did not answer.
class Unanswered {
  public:
    Unanswered() {
        clock_.start();
        QObject::connect(&ticks_, &QTimer::timeout, [this] { Tick(); });
        ticks_.start(5);
    }
    qint64 LongestMs() {
        Tick();
        return longest_;
    }

  private:
    void Tick() {
        longest_ = std::max(longest_, clock_.elapsed() - last_);
        last_ = clock_.elapsed();
    }
    QElapsedTimer clock_;
    QTimer ticks_;
    qint64 last_ = 0;
    qint64 longest_ = 0;
};

int Presses(tez::DEzazerireVuvu& view, tez::CFrameWnd& frame, int device, bool keys) {
    WriteScore("dense.tez", 4000, 48, 15);
    {
        // A chord on channel 2 held through the whole piece, at its start.
        std::ifstream in("dense.tez", std::ios::binary);
        const std::string notes((std::istreambuf_iterator<char>(in)), {});
        std::ofstream("dense.tez", std::ios::binary | std::ios::trunc)
            << "I0 K36 V80 L60000 W2\nI0 K43 V80 L60000 W2\n"
            << notes;
    }
    view.OpenNamedScore(QStringLiteral("dense.tez"));
    auto* list = static_cast<QComboBox*>(view.GetDlgItem(tez::ids::kDeviceList));
    list->setCurrentIndex(device + 1);
    view.OnSelchangeDeviceList();
    view.OnPlayStop();
    QElapsedTimer clock;
    clock.start();
    qint64 last = 0, longest = 0;
    QTimer ticks;
    QObject::connect(&ticks, &QTimer::timeout, [&] {
        longest = std::max(longest, clock.elapsed() - last);
        last = clock.elapsed();
    });
    WaitFor([&] { return clock.elapsed() > 1000; });
    ticks.start(5);
    last = clock.elapsed();
    longest = 0;
    const int presses = keys ? 12 : 20;
    for (int press = 0; press < presses; ++press) {
        frame.CommandAction(keys ? tez::ids::kTransposeUp : tez::ids::kTempoFaster)->trigger();
        const qint64 next = clock.elapsed() + 40;
        WaitFor([&] { return clock.elapsed() >= next; });
    }
    WaitFor([&] { return clock.elapsed() > 3500; });
    std::printf("%d %s presses 40 ms apart: the window's longest unanswered time %lld ms\n",
                presses, keys ? "Shift+F8" : "F8", static_cast<long long>(longest));
    view.OnPlayStop();
    return 0;
}

int SaveHeard(tez::DEzazerireVuvu& view, tez::CFrameWnd& frame, HighKeyDevices& devices,
              long lines) {
    WriteScore("song.tez", lines, 48, 12);
    view.OpenNamedScore(QStringLiteral("song.tez"));
    WaitFor([&] { return !view.IsLoading(); });
    frame.CommandAction(tez::ids::kFollowFile)->trigger();
    view.OnPlayStop();
    WriteScore("next.tez", lines, 72, 12);  // the new version, ready before the save
    WaitFor([&] { return devices.noteOns >= 2; });
    const Clock::time_point saved = Clock::now();
    const double cpuBefore = CpuMs();
    Unanswered unanswered;
    // The editor writes the file in place on a thread of its own, so that neither its time
    // nor its CPU counts as the window's.
    double editorCpu = 0;
    std::thread editor([&editorCpu] {
        std::filesystem::copy_file("next.tez", "song.tez",
                                   std::filesystem::copy_options::overwrite_existing);
        timespec spent{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &spent);
        editorCpu =
            static_cast<double>(spent.tv_sec) * 1e3 + static_cast<double>(spent.tv_nsec) / 1e6;
    });
    WaitBetweenEvents([&] { return devices.firstHigh != 0; });
    // The window is done with the save once it is shown and converted.
    WaitBetweenEvents([&] { return !view.IsLoading(); });
    editor.join();
    const double done = std::chrono::duration<double, std::milli>(Clock::now() - saved).count();
    const double cpu = CpuMs() - cpuBefore - editorCpu;
    const qint64 longest = unanswered.LongestMs();
    const double heard = std::chrono::duration<double, std::milli>(
                             Clock::duration(devices.firstHigh) - saved.time_since_epoch())
                             .count();
    const double hole = std::chrono::duration<double, std::milli>(
                            Clock::duration(devices.firstHigh - devices.lastLow))
                            .count();
    std::printf(
        "save of a %7ld-line score heard after %7.1f ms; the old version played until "
        "%5.1f ms before the new (a note every 48 ms); shown and converted after %.0f ms, "
        "longest unanswered %lld ms, CPU %.0f ms\n",
        lines, heard, hole, done, static_cast<long long>(longest), cpu);
    view.OnPlayStop();
    frame.CommandAction(tez::ids::kFollowFile)->trigger();
    return 0;
}

int TypedPlayed(tez::DEzazerireVuvu& view, tez::CFrameWnd& frame, HighKeyDevices& devices,
                long megabytes) {
    const long lines = megabytes * 1024 * 1024 / 17;  // "I120 K48 V90 L80" and a line feed
    WriteScore("typed.tez", lines, 48, 120);
    view.OpenNamedScore(QStringLiteral("typed.tez"));
    WaitFor([&] { return !view.IsLoading(); });
    auto* box = static_cast<QPlainTextEdit*>(view.GetDlgItem(tez::ids::kScoreBox));
    QTextCursor top(box->document());
    top.insertText(QStringLiteral("I0 K50 V90 L80\n"));
    top.movePosition(QTextCursor::Start);
    box->setTextCursor(top);
    const Clock::time_point pressed = Clock::now();
    Unanswered unanswered;
    frame.CommandAction(tez::ids::kPlayFromCursor)->trigger();
    WaitFor([&] { return devices.noteOns >= 1; });
    const qint64 longest = unanswered.LongestMs();
    const double heard = std::chrono::duration<double, std::milli>(Clock::now() - pressed).count();
    std::printf("F5 on %2ld MB of typing: first note after %7.1f ms; longest unanswered %lld ms\n",
                megabytes, heard, static_cast<long long>(longest));
    view.OnPlayStop();
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: live_change presses DEVICE | save LINES | typed MEGABYTES\n");
        return 2;
    }
    const std::string mode = argv[1];
    const long value = std::atol(argv[2]);
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QTemporaryDir work;
    setenv("XDG_CONFIG_HOME", QFile::encodeName(work.path()).constData(), 1);
    QDir::setCurrent(work.path());
    QApplication application(argc, argv);
    HighKeyDevices timing;
    tez::MidiDevices& devices = mode != "presses" ? timing : tez::SystemMidiDevices();
    QuietPrompts prompts;
    tez::CTezplayerApp app(prompts, devices);
    app.StartWithArguments({QStringLiteral("tezplayer")});
    auto* view = static_cast<tez::DEzazerireVuvu*>(app.MainWnd()->GetActiveView());
    const int status = mode == "save"    ? SaveHeard(*view, *app.MainWnd(), timing, value)
                       : mode == "typed" ? TypedPlayed(*view, *app.MainWnd(), timing, value)
                                         : Presses(*view, *app.MainWnd(), static_cast<int>(value),
                                                   argc > 3 && std::string(argv[3]) == "keys");
    app.ExitInstance();
    return status;
}
