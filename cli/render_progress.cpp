#include "render_progress.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <string>

#include "playback/smf_player.h"
#include "playback/virtual_clock.h"
#include "playback_source.h"
#include "score/note_table.h"
#include "score/smf_writer.h"

namespace tez::cli {
namespace {

constexpr auto kQuietStart = std::chrono::seconds(1);
constexpr auto kRedrawEvery = std::chrono::milliseconds(100);
constexpr int kBarWidth = 40;

// The callbacks until the last event, loaded quietly: the render itself reports warnings.
std::uint64_t PlaybackCallbacks(const std::string& file) {
    struct NoDevices final : MidiDevices {
        int Count() override { return 0; }
        std::string Name(int) override { return {}; }
        std::unique_ptr<MidiOutput> Open(int) override { return nullptr; }
    } none;
    CSmfPlayer dryRun(none);
    if (IsScorePath(file)) {
        NoteTable table;
        if (ReadScore(table, file, nullptr) != ReadStatus::kOk)
            return 0;
        dryRun.LoadBytes(BuildScoreMidiFile(table, nullptr));
    } else {
        dryRun.LoadFile(file.c_str());
    }
    VirtualClock clock(dryRun);
    clock.Start();
    return clock.RunToEnd().value_or(0);
}

}  // namespace

RenderProgress::RenderProgress(const std::string& file)
    : enabled_(::isatty(STDERR_FILENO) == 1), start_(std::chrono::steady_clock::now()) {
    if (enabled_)
        totalCallbacks_ = PlaybackCallbacks(file);
    enabled_ = totalCallbacks_ > 0;
}

RenderProgress::~RenderProgress() {
    Clear();
}

void RenderProgress::Clear() {
    if (shown_)
        std::fprintf(stderr, "\r\033[K");
    shown_ = false;
    enabled_ = false;
}

void RenderProgress::Update(std::uint64_t callbacksDone) {
    const auto now = std::chrono::steady_clock::now();
    if (!enabled_ || now - start_ < kQuietStart || (shown_ && now - lastDrawn_ < kRedrawEvery))
        return;
    shown_ = true;
    lastDrawn_ = now;
    // The tail after the last event rings on past 100 %; the bar stays full there.
    const double done =
        std::min(1.0, static_cast<double>(callbacksDone) / static_cast<double>(totalCallbacks_));
    const int filled = static_cast<int>(done * kBarWidth);
    std::fprintf(stderr, "\r[%s%s] %3d%%", std::string(filled, '#').c_str(),
                 std::string(kBarWidth - filled, ' ').c_str(), static_cast<int>(done * 100));
    std::fflush(stderr);
}

}  // namespace tez::cli
