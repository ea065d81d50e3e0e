#include "platform/jack_midi_output.h"

#include <jack/jack.h>
#include <jack/midiport.h>

#include <algorithm>
#include <atomic>

#include "platform/monotonic_time.h"
#include "platform/port_reset.h"
#include "platform/quiet_libraries.h"
#include "platform/stamped_message_queue.h"

namespace tez {
namespace {

using Clock = std::chrono::steady_clock;
constexpr const char* kClientName = "tez";
constexpr const char* kPortName = "out";
constexpr std::size_t kQueueBytes = 1 << 20;
// How long closing waits for the last messages and the reset to go out.
constexpr auto kDrainPatience = std::chrono::milliseconds(1000);

jack_client_t* OpenClient(const char* name) {
    QuietSystemLibraries();
    jack_status_t status{};
    return jack_client_open(name, JackNoStartServer, &status);
}

class JackMidiOutput final : public MidiOutput {
  public:
    explicit JackMidiOutput(jack_client_t* client) : client_(client), queue_(kQueueBytes) {}

    ~JackMidiOutput() override {
        if (active_ && !Lost()) {
            Drain();
            jack_deactivate(client_);
        }
        jack_client_close(client_);
    }

    bool Start(const std::string& target) {
        port_ = jack_port_register(client_, kPortName, JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput, 0);
        if (port_ == nullptr || jack_set_process_callback(client_, &Process, this) != 0) {
            return false;
        }
        jack_on_shutdown(client_, &ServerGone, this);
        if (jack_activate(client_) != 0) {
            return false;
        }
        active_ = true;
        return jack_connect(client_, jack_port_name(port_), target.c_str()) == 0;
    }

    // A message the queue cannot take now (it is full, or the message is larger than it) is
    // dropped and counted, so that the loss is said.
    bool Send(std::span<const std::uint8_t> message) override {
        if (message.empty() || Lost()) {
            return false;
        }
        if (!queue_.Push(Nanoseconds(due_), message)) {
            dropped_.fetch_add(1, std::memory_order_relaxed);
            return false;
        }
        return true;
    }
    void SetDueTime(Clock::time_point due) override { due_ = due; }
    void Reset() override {
        SetDueTime(Clock::now());
        SendPortReset(*this);
        Drain();
    }
    std::uint64_t Dropped() const override { return dropped_.load(std::memory_order_relaxed); }
    bool Lost() const override { return lost_.load(std::memory_order_acquire); }

  private:
    // Waits until the process callback has written everything queued into a period.
    void Drain() {
        const std::uint64_t wanted = queue_.Pushed();
        const std::uint64_t cycle = cycles_.load();
        AwaitConsumer([&] { return queue_.Popped() >= wanted && cycles_.load() != cycle; },
                      [&] { return Lost(); }, kDrainPatience);
    }

    static int Process(jack_nframes_t frames, void* self) {
        static_cast<JackMidiOutput*>(self)->WritePeriod(frames);
        return 0;
    }

    // The server has closed this client (it was stopped or killed): JACK's own thread.
    static void ServerGone(void* self) {
        static_cast<JackMidiOutput*>(self)->lost_.store(true, std::memory_order_release);
    }

    // Writes every message due in this period at its frame, one period after it was due; a
    // message whose frame has passed goes first, one that does not fit waits for the next,
    // and one larger than a whole period's buffer is dropped, since it could never go.
    void WritePeriod(jack_nframes_t frames) {
        void* buffer = jack_port_get_buffer(port_, frames);
        jack_midi_clear_buffer(buffer);
        const std::size_t room = jack_midi_max_event_size(buffer);
        jack_nframes_t periodFrame = 0;
        jack_time_t periodStart = 0, nextStart = 0;
        float periodMicros = 0;
        jack_get_cycle_times(client_, &periodFrame, &periodStart, &nextStart, &periodMicros);
        // JACK's clock and ours both count microseconds; their difference, read now.
        const std::int64_t steadyToJack =
            static_cast<std::int64_t>(jack_get_time()) - Nanoseconds(Clock::now()) / 1000;
        const auto latency = static_cast<std::int64_t>(nextStart - periodStart);
        jack_nframes_t last = 0;
        while (const auto message = queue_.Front()) {
            if (message->bytes.size() > room) {
                dropped_.fetch_add(1, std::memory_order_relaxed);
                queue_.Pop();
                continue;
            }
            if (message->due > 0) {  // else no due time was given: at once
                const std::int64_t at = message->due / 1000 + steadyToJack + latency;
                const auto frame = static_cast<std::int32_t>(
                    jack_time_to_frames(client_,
                                        static_cast<jack_time_t>(std::max<std::int64_t>(at, 0))) -
                    periodFrame);
                if (frame >= static_cast<std::int32_t>(frames)) {
                    break;
                }
                last = std::max(last, static_cast<jack_nframes_t>(std::max(frame, 0)));
            }
            if (jack_midi_event_write(buffer, last, message->bytes.data(), message->bytes.size()) !=
                0) {
                break;
            }
            queue_.Pop();
        }
        cycles_.fetch_add(1, std::memory_order_release);
    }

    jack_client_t* client_;
    jack_port_t* port_ = nullptr;
    StampedMessageQueue queue_;
    Clock::time_point due_{};  // none given: at once
    std::atomic<std::uint64_t> cycles_{0};
    std::atomic<std::uint64_t> dropped_{0};
    std::atomic<bool> lost_{false};
    bool active_ = false;
};

}  // namespace

std::vector<std::string> JackMidiInputPorts() {
    std::vector<std::string> names;
    jack_client_t* client = OpenClient("tez-probe");
    if (client == nullptr) {
        return names;
    }
    if (const char** ports =
            jack_get_ports(client, nullptr, JACK_DEFAULT_MIDI_TYPE, JackPortIsInput)) {
        for (const char** port = ports; *port != nullptr; ++port) {
            names.emplace_back(*port);
        }
        jack_free(ports);
    }
    jack_client_close(client);
    return names;
}

std::unique_ptr<MidiOutput> OpenJackMidiOutput(const std::string& portName) {
    jack_client_t* client = OpenClient(kClientName);
    if (client == nullptr) {
        return nullptr;
    }
    auto output = std::make_unique<JackMidiOutput>(client);
    if (!output->Start(portName)) {
        return nullptr;
    }
    return output;
}

}  // namespace tez
