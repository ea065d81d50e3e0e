#include "render_progress.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <string>

#include "playback_source.h"
#include "terminal_width.h"

namespace tez::cli {
namespace {

constexpr auto kQuietStart = std::chrono::seconds(1);
constexpr auto kRedrawEvery = std::chrono::milliseconds(100);
constexpr int kBarWidth = 40;
constexpr int kBesideBar = 7;  // "[", "] " and "100%"

}  // namespace

RenderProgress::RenderProgress(const std::string& file, const PlaybackOptions& options)
    : enabled_(::isatty(STDERR_FILENO) == 1), start_(std::chrono::steady_clock::now()) {
    if (enabled_)
        totalCallbacks_ =
            OnePassCallbacks(file, options) * static_cast<std::uint64_t>(options.loops + 1);
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
    // Measured at each redraw: the terminal may have been resized since.
    const int columns = TerminalColumns(STDERR_FILENO);
    const int width = std::clamp(columns - kBesideBar - 1, 0, kBarWidth);
    const int filled = static_cast<int>(done * width);
    char percent[8];
    std::snprintf(percent, sizeof percent, "%3d%%", static_cast<int>(done * 100));
    std::string bar;
    if (width > 0) {
        bar.append(1, '[').append(filled, '#').append(width - filled, ' ').append("] ");
    }
    bar.append(percent);
    std::fprintf(stderr, "\r%s", FittedLine(bar, columns).c_str());
    std::fflush(stderr);
}

}  // namespace tez::cli
