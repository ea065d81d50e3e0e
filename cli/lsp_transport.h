// The language server's wire: JSON-RPC messages, each a header block naming its
// Content-Length followed by that many bytes of JSON, over standard input and output.
#pragma once

#include <cstddef>
#include <mutex>
#include <string>
#include <string_view>

namespace tez::cli {

// Cuts a byte stream into message contents.
class FrameReader {
  public:
    // Larger contents are refused as malformed rather than buffered.
    static constexpr std::size_t kMaxContent = std::size_t{1} << 30;

    enum class Next {
        kMessage,    // `content` holds the next message
        kNeedMore,   // no whole message yet
        kBadHeader,  // a header block without a usable Content-Length; it has been skipped
    };

    void Feed(std::string_view bytes);
    Next Take(std::string& content);

  private:
    std::string buffer_;
    std::size_t start_ = 0;   // bytes of buffer_ already taken
    std::size_t wanted_ = 0;  // content length of the header just read; 0 while in a header
    bool inContent_ = false;
};

// The header block and the content, ready to be written.
std::string Frame(std::string_view content);

// Standard input and output as the server uses them. Sending may come from any thread.
class StdioTransport {
  public:
    // The next message's content; false at the end of input. `malformed` is set instead of
    // answering a content when a header block could not be read.
    bool Receive(std::string& content, bool& malformed);
    void Send(std::string_view content);

  private:
    FrameReader reader_;
    std::mutex sending_;
};

}  // namespace tez::cli
