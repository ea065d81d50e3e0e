#include "control/play_thread.h"

#include <system_error>
#include <utility>

namespace tez {

PlayThread::~PlayThread() {
    Release();
}

bool PlayThread::Start(Routine routine, std::uintptr_t argument) {
    exitCode_.store(kStillActive);
    try {
        thread_ = std::thread(
            [this, routine = std::move(routine), argument] { exitCode_.store(routine(argument)); });
    } catch (const std::system_error&) {
        exitCode_.store(0);
        return false;
    }
    return true;
}

void PlayThread::Release() {
    if (thread_.joinable()) {
        thread_.join();
    }
}

}  // namespace tez
