// The language server: answers each message of the client, keeps the open documents, checks
// them as they change and plays them on request.
#pragma once

#include <nlohmann/json.hpp>

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "lsp_checker.h"
#include "lsp_document.h"
#include "lsp_session.h"

namespace tez::cli {

class LanguageServer {
  public:
    using Sender = std::function<void(std::string_view content)>;

    // Plays on `device` until the client's settings name another.
    LanguageServer(Sender send, MidiDevices& devices, int device = -1);
    ~LanguageServer();

    // One message's content, or a header block that could not be read (`content` nullopt).
    void Handle(std::optional<std::string_view> content);
    bool ExitRequested() const { return exitRequested_; }
    // The process's exit status: 0 when the client asked for shutdown before it left.
    int ExitStatus() const { return shutdown_ ? 0 : 1; }

  private:
    using json = nlohmann::json;
    using Handler = json (LanguageServer::*)(const json& params);

    void Dispatch(const json& message);
    void Respond(const json& id, json result);
    void Fail(const json& id, int code, const std::string& message);
    void Notify(const char* method, json params);
    void Publish(const std::string& uri, const std::shared_ptr<const ScoreVersion>& version,
                 std::int64_t clientVersion);
    void ReadSettings(const json& settings);
    std::shared_ptr<const ScoreVersion> Converted(const std::string& uri);

    json Initialize(const json& params);
    json Shutdown(const json& params);
    json DidOpen(const json& params);
    json DidChange(const json& params);
    json DidClose(const json& params);
    json DidChangeConfiguration(const json& params);
    json Hover(const json& params);
    json DocumentSymbol(const json& params);
    json CodeLens(const json& params);
    json CodeAction(const json& params);
    json Formatting(const json& params);
    json ExecuteCommand(const json& params);

    Sender send_;
    MidiDevices& devices_;
    std::map<std::string, Handler> requests_;
    std::map<std::string, Handler> notifications_;
    PositionEncoding encoding_ = PositionEncoding::kUtf16;
    bool initialized_ = false;
    bool shutdown_ = false;
    bool exitRequested_ = false;
    std::int64_t sequence_ = 0;  // numbers every text of every document
    std::map<std::string, TextDocument> documents_;
    std::mutex sessionStart_;
    // Declared last: they call back into the members above and end first.
    std::unique_ptr<PlaybackSession> session_;
    std::unique_ptr<DocumentChecker> checker_;
};

}  // namespace tez::cli
