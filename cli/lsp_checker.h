// Converts each new text of the open documents on a thread of its own, so reading the client's
// messages never waits for it; a newer text of a document supersedes one still waiting.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "lsp_score.h"

namespace tez::cli {

class DocumentChecker {
  public:
    // Called on the checker's thread with each conversion, and the client's version number.
    using Converted = std::function<void(const std::string& uri,
                                         const std::shared_ptr<const ScoreVersion>& version,
                                         std::int64_t clientVersion)>;

    explicit DocumentChecker(Converted converted);
    ~DocumentChecker();
    DocumentChecker(const DocumentChecker&) = delete;
    DocumentChecker& operator=(const DocumentChecker&) = delete;

    // `sequence` grows with every text of the document.
    void Submit(const std::string& uri, std::int64_t sequence, std::int64_t clientVersion,
                std::shared_ptr<const std::string> text);
    void Forget(const std::string& uri);
    // The conversion of text `sequence` of the document or a later one, waiting for it;
    // nullptr when the document is not open.
    std::shared_ptr<const ScoreVersion> Await(const std::string& uri, std::int64_t sequence);

  private:
    struct Job {
        std::int64_t sequence = 0;
        std::int64_t clientVersion = 0;
        std::shared_ptr<const std::string> text;
    };
    void Run();

    Converted converted_;
    std::mutex mutex_;
    std::condition_variable changed_;
    bool quitting_ = false;
    std::map<std::string, Job> waiting_;
    std::map<std::string, std::int64_t> open_;  // the newest sequence of each open document
    std::map<std::string, std::shared_ptr<const ScoreVersion>> done_;
    std::thread worker_;
};

}  // namespace tez::cli
