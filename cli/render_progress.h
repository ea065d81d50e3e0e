// A progress bar on standard error for a render that takes longer than a second; nothing
// when standard error is not a terminal.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

#include "playback/playback_options.h"

namespace tez::cli {

class RenderProgress {
  public:
    // `file` is what is rendered with `options`; its length is found on a virtual clock only
    // when a bar can be shown.
    RenderProgress(const std::string& file, const PlaybackOptions& options);
    ~RenderProgress();
    RenderProgress(const RenderProgress&) = delete;
    RenderProgress& operator=(const RenderProgress&) = delete;

    void Update(std::uint64_t callbacksDone);
    // Takes the bar off the line, so what is printed next starts clean.
    void Clear();

  private:
    bool enabled_;
    bool shown_ = false;
    std::uint64_t totalCallbacks_ = 0;
    std::chrono::steady_clock::time_point start_;
    std::chrono::steady_clock::time_point lastDrawn_;
};

}  // namespace tez::cli
