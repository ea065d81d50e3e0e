#include "lsp_transport.h"

#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstring>
#include <optional>

namespace tez::cli {
namespace {

constexpr std::string_view kHeaderEnd = "\r\n\r\n";

bool SameLetters(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
        if (lower(a[i]) != lower(b[i])) {
            return false;
        }
    }
    return true;
}

std::string_view Trimmed(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) {
        text.remove_prefix(1);
    }
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) {
        text.remove_suffix(1);
    }
    return text;
}

// The Content-Length of a header block (without its closing blank line); nothing when the
// block names none, or a malformed or oversized one.
std::optional<std::size_t> ContentLength(std::string_view block) {
    std::optional<std::size_t> length;
    while (!block.empty()) {
        const std::size_t end = block.find("\r\n");
        const std::string_view line = block.substr(0, end);
        block = end == std::string_view::npos ? std::string_view{} : block.substr(end + 2);
        const std::size_t colon = line.find(':');
        if (colon == std::string_view::npos ||
            !SameLetters(line.substr(0, colon), "content-length")) {
            continue;
        }
        const std::string_view value = Trimmed(line.substr(colon + 1));
        std::size_t parsed = 0;
        const auto [rest, error] =
            std::from_chars(value.data(), value.data() + value.size(), parsed);
        if (error != std::errc{} || rest != value.data() + value.size() || value.empty() ||
            parsed > FrameReader::kMaxContent) {
            return std::nullopt;
        }
        length = parsed;
    }
    return length;
}

}  // namespace

void FrameReader::Feed(std::string_view bytes) {
    // Taken bytes are dropped once they are the larger part, so a long session keeps only
    // what is still to be read.
    if (start_ > 0 && start_ >= buffer_.size() / 2) {
        buffer_.erase(0, start_);
        start_ = 0;
    }
    buffer_.append(bytes);
}

FrameReader::Next FrameReader::Take(std::string& content) {
    const std::string_view rest = std::string_view(buffer_).substr(start_);
    if (!inContent_) {
        const std::size_t end = rest.find(kHeaderEnd);
        if (end == std::string_view::npos) {
            // A header that never ends is no header: drop it rather than grow without end.
            if (rest.size() > 65536) {
                start_ = buffer_.size();
                return Next::kBadHeader;
            }
            return Next::kNeedMore;
        }
        const std::optional<std::size_t> length = ContentLength(rest.substr(0, end));
        start_ += end + kHeaderEnd.size();
        if (!length) {
            return Next::kBadHeader;
        }
        wanted_ = *length;
        inContent_ = true;
    }
    if (buffer_.size() - start_ < wanted_) {
        return Next::kNeedMore;
    }
    content.assign(buffer_, start_, wanted_);
    start_ += wanted_;
    inContent_ = false;
    return Next::kMessage;
}

std::string Frame(std::string_view content) {
    std::string framed = "Content-Length: " + std::to_string(content.size()) + "\r\n\r\n";
    framed.append(content);
    return framed;
}

bool StdioTransport::Receive(std::string& content, bool& malformed) {
    malformed = false;
    char chunk[65536];
    for (;;) {
        switch (reader_.Take(content)) {
            case FrameReader::Next::kMessage:
                return true;
            case FrameReader::Next::kBadHeader:
                malformed = true;
                return true;
            case FrameReader::Next::kNeedMore:
                break;
        }
        const ssize_t got = read(STDIN_FILENO, chunk, sizeof chunk);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            return false;
        }
        reader_.Feed(std::string_view(chunk, static_cast<std::size_t>(got)));
    }
}

void StdioTransport::Send(std::string_view content) {
    const std::string framed = Frame(content);
    std::lock_guard lock(sending_);
    std::size_t sent = 0;
    while (sent < framed.size()) {
        const ssize_t wrote = write(STDOUT_FILENO, framed.data() + sent, framed.size() - sent);
        if (wrote < 0 && errno == EINTR) {
            continue;
        }
        if (wrote <= 0) {
            return;  // the client has gone; the end of its input ends the server
        }
        sent += static_cast<std::size_t>(wrote);
    }
}

}  // namespace tez::cli
