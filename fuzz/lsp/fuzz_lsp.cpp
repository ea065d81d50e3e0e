// Any bytes from a client: the framing and the server answer them without misbehaving, and
// everything the server sends is JSON.
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

#include "lsp_server.h"
#include "lsp_transport.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    tez::NoMidiDevices devices;
    tez::cli::LanguageServer server(
        [](std::string_view content) {
            if (nlohmann::json::parse(content, nullptr, false).is_discarded())
                std::abort();
        },
        devices);
    tez::cli::FrameReader reader;
    // In two pieces, so a message split between reads is met as well.
    reader.Feed(bytes.substr(0, size / 2));
    bool fedAll = false;
    std::string content;
    while (!server.ExitRequested()) {
        const auto next = reader.Take(content);
        if (next == tez::cli::FrameReader::Next::kNeedMore) {
            if (fedAll)
                break;
            reader.Feed(bytes.substr(size / 2));
            fedAll = true;
            continue;
        }
        server.Handle(next == tez::cli::FrameReader::Next::kMessage
                          ? std::optional<std::string_view>(content)
                          : std::nullopt);
    }
    return 0;
}
