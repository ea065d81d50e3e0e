#include "lsp_checker.h"

namespace tez::cli {

DocumentChecker::DocumentChecker(Converted converted) : converted_(std::move(converted)) {
    worker_ = std::thread([this] { Run(); });
}

DocumentChecker::~DocumentChecker() {
    {
        std::lock_guard lock(mutex_);
        quitting_ = true;
    }
    changed_.notify_all();
    worker_.join();
}

void DocumentChecker::Submit(const std::string& uri, std::int64_t sequence,
                             std::int64_t clientVersion, std::shared_ptr<const std::string> text) {
    {
        std::lock_guard lock(mutex_);
        open_[uri] = sequence;
        waiting_[uri] = Job{sequence, clientVersion, std::move(text)};
    }
    changed_.notify_all();
}

void DocumentChecker::Forget(const std::string& uri) {
    {
        std::lock_guard lock(mutex_);
        open_.erase(uri);
        waiting_.erase(uri);
        done_.erase(uri);
    }
    changed_.notify_all();
}

std::shared_ptr<const ScoreVersion> DocumentChecker::Await(const std::string& uri,
                                                           std::int64_t sequence) {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] {
        const auto found = done_.find(uri);
        return quitting_ || open_.count(uri) == 0 ||
               (found != done_.end() && found->second->documentVersion >= sequence);
    });
    const auto found = done_.find(uri);
    return found == done_.end() || open_.count(uri) == 0 ? nullptr : found->second;
}

void DocumentChecker::Run() {
    std::unique_lock lock(mutex_);
    for (;;) {
        changed_.wait(lock, [&] { return quitting_ || !waiting_.empty(); });
        if (quitting_) {
            return;
        }
        const auto next = waiting_.begin();
        const std::string uri = next->first;
        const Job job = std::move(next->second);
        waiting_.erase(next);
        lock.unlock();
        const std::shared_ptr<const ScoreVersion> version = ConvertScore(job.text, job.sequence);
        lock.lock();
        const auto open = open_.find(uri);
        if (open == open_.end()) {
            continue;  // closed meanwhile
        }
        std::shared_ptr<const ScoreVersion>& latest = done_[uri];
        if (!latest || latest->documentVersion < job.sequence) {
            latest = version;
        }
        changed_.notify_all();
        lock.unlock();
        converted_(uri, version, job.clientVersion);
        lock.lock();
    }
}

}  // namespace tez::cli
