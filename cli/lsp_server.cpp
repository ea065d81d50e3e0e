#include "lsp_server.h"

#include <limits>
#include <new>

#include "device_choice.h"
#include "lsp_features.h"

namespace tez::cli {
namespace {

using nlohmann::json;

// JSON-RPC's and the protocol's error codes.
constexpr int kParseError = -32700;
constexpr int kInvalidRequest = -32600;
constexpr int kMethodNotFound = -32601;
constexpr int kInvalidParams = -32602;
constexpr int kInternalError = -32603;
constexpr int kServerNotInitialized = -32002;
constexpr int kRequestFailed = -32803;

constexpr int kSyncIncremental = 2;
constexpr int kMessageError = 1;

// A params value the handler cannot use; answered InvalidParams.
struct BadParams {
    std::string why;
};

const json& Field(const json& object, const char* name) {
    if (!object.is_object() || !object.contains(name)) {
        throw BadParams{std::string("missing ") + name};
    }
    return object.at(name);
}

std::string UriOf(const json& params) {
    return Field(Field(params, "textDocument"), "uri").get<std::string>();
}

std::int64_t LineArgument(const json& value) {
    const auto line = value.get<std::int64_t>();
    if (line < 0 || line >= std::numeric_limits<std::int32_t>::max()) {
        throw BadParams{"line out of range"};
    }
    return line;
}

TextPosition PositionOf(const json& position) {
    return {Field(position, "line").get<std::int64_t>(),
            Field(position, "character").get<std::int64_t>()};
}

// A device given as its id, or as its name or a part of it (see ChooseDevice).
DeviceChoice DeviceOf(const json& value, MidiDevices& devices) {
    if (value.is_number_integer()) {
        return {value.get<int>(), {}};
    }
    if (!value.is_string()) {
        return {std::nullopt, "give the id or the name of a device, as `tez devices` lists them"};
    }
    return ChooseDevice(value.get<std::string>(), devices);
}

}  // namespace

LanguageServer::LanguageServer(Sender send, MidiDevices& devices, int device)
    : send_(std::move(send)), devices_(devices) {
    requests_ = {{"initialize", &LanguageServer::Initialize},
                 {"shutdown", &LanguageServer::Shutdown},
                 {"textDocument/hover", &LanguageServer::Hover},
                 {"textDocument/documentSymbol", &LanguageServer::DocumentSymbol},
                 {"textDocument/codeLens", &LanguageServer::CodeLens},
                 {"textDocument/codeAction", &LanguageServer::CodeAction},
                 {"textDocument/formatting", &LanguageServer::Formatting},
                 {"workspace/executeCommand", &LanguageServer::ExecuteCommand}};
    notifications_ = {
        {"textDocument/didOpen", &LanguageServer::DidOpen},
        {"textDocument/didChange", &LanguageServer::DidChange},
        {"textDocument/didClose", &LanguageServer::DidClose},
        {"workspace/didChangeConfiguration", &LanguageServer::DidChangeConfiguration}};
    session_ = std::make_unique<PlaybackSession>(devices_, [this](
                                                               const std::string& uri,
                                                               std::optional<std::int32_t> line) {
        Notify("tez/soundingLine", {{"uri", uri}, {"line", line ? json(*line) : json(nullptr)}});
    });
    checker_ = std::make_unique<DocumentChecker>(
        [this](const std::string& uri, const std::shared_ptr<const ScoreVersion>& version,
               std::int64_t clientVersion) {
            Publish(uri, version, clientVersion);
            session_->TakeVersion(uri, version);
        });
    session_->SetDevice(device);
}

LanguageServer::~LanguageServer() {
    checker_.reset();
    session_.reset();  // every note ends, the device is reset
}

void LanguageServer::Handle(std::optional<std::string_view> content) {
    if (!content) {
        Fail(nullptr, kParseError, "a header without a usable Content-Length");
        return;
    }
    json message = json::parse(content->begin(), content->end(), nullptr, false);
    if (message.is_discarded()) {
        Fail(nullptr, kParseError, "the message is not JSON");
        return;
    }
    try {
        Dispatch(message);
    } catch (const std::bad_alloc&) {
        if (message.is_object() && message.contains("id")) {
            Fail(message["id"], kInternalError, "out of memory");
        }
    }
}

void LanguageServer::Dispatch(const json& message) {
    const bool hasId = message.is_object() && message.contains("id") &&
                       (message["id"].is_number_integer() || message["id"].is_string());
    const json id = hasId ? message["id"] : json(nullptr);
    if (!message.is_object() || !message.contains("method") || !message["method"].is_string()) {
        if (message.is_object() && (message.contains("result") || message.contains("error"))) {
            return;  // an answer to a request of ours
        }
        Fail(id, kInvalidRequest, "not a request or notification");
        return;
    }
    const auto method = message["method"].get<std::string>();
    const json params = message.contains("params") ? message["params"] : json::object();
    if (method == "exit") {
        exitRequested_ = true;
        return;
    }
    if (!hasId) {
        const auto handler = notifications_.find(method);
        if (handler == notifications_.end() || !initialized_ || shutdown_) {
            return;  // unknown notifications, and those before initialize, are dropped
        }
        try {
            (this->*handler->second)(params);
        } catch (const BadParams&) {
        } catch (const std::exception&) {
            // a notification has no answer: one it cannot use is dropped
        }
        return;
    }
    if (!initialized_ && method != "initialize") {
        Fail(id, kServerNotInitialized, "initialize comes first");
        return;
    }
    if (shutdown_) {
        Fail(id, kInvalidRequest, "the server is shutting down");
        return;
    }
    const auto handler = requests_.find(method);
    if (handler == requests_.end()) {
        Fail(id, kMethodNotFound, "no such method: " + method);
        return;
    }
    try {
        Respond(id, (this->*handler->second)(params));
    } catch (const BadParams& bad) {
        Fail(id, kInvalidParams, bad.why);
    } catch (const json::exception& bad) {
        Fail(id, kInvalidParams, bad.what());
    } catch (const CommandOutcome& failed) {
        Fail(id, kRequestFailed, failed.message);
    } catch (const std::exception& failure) {
        Fail(id, kInternalError, failure.what());
    }
}

void LanguageServer::Respond(const json& id, json result) {
    send_(json{{"jsonrpc", "2.0"}, {"id", id}, {"result", std::move(result)}}.dump(
        -1, ' ', false, json::error_handler_t::replace));
}

void LanguageServer::Fail(const json& id, int code, const std::string& message) {
    send_(json{{"jsonrpc", "2.0"}, {"id", id}, {"error", {{"code", code}, {"message", message}}}}
              .dump(-1, ' ', false, json::error_handler_t::replace));
}

void LanguageServer::Notify(const char* method, json params) {
    send_(json{{"jsonrpc", "2.0"}, {"method", method}, {"params", std::move(params)}}.dump(
        -1, ' ', false, json::error_handler_t::replace));
}

void LanguageServer::Publish(const std::string& uri,
                             const std::shared_ptr<const ScoreVersion>& version,
                             std::int64_t clientVersion) {
    Notify("textDocument/publishDiagnostics",
           {{"uri", uri},
            {"version", clientVersion},
            {"diagnostics", DiagnosticsOf(*version, encoding_)}});
}

void LanguageServer::ReadSettings(const json& settings) {
    if (!settings.is_object()) {
        return;
    }
    const json& own = settings.contains("tez") ? settings["tez"] : settings;
    if (own.is_object() && own.contains("device")) {
        // A device that cannot be told leaves the one before; the user is told why.
        const DeviceChoice choice = DeviceOf(own["device"], devices_);
        if (choice.id) {
            session_->SetDevice(*choice.id);
        } else {
            Notify("window/showMessage",
                   {{"type", kMessageError}, {"message", "tez: device: " + choice.refusal}});
        }
    }
}

std::shared_ptr<const ScoreVersion> LanguageServer::Converted(const std::string& uri) {
    const auto document = documents_.find(uri);
    if (document == documents_.end()) {
        throw CommandOutcome{false, "the document is not open"};
    }
    std::shared_ptr<const ScoreVersion> version = checker_->Await(uri, document->second.version);
    if (!version) {
        throw CommandOutcome{false, "the document is not open"};
    }
    return version;
}

json LanguageServer::Initialize(const json& params) {
    if (initialized_) {
        throw CommandOutcome{false, "initialize came twice"};
    }
    const json encodings = params.is_object() && params.contains("capabilities")
                               ? params["capabilities"]
                                     .value("general", json::object())
                                     .value("positionEncodings", json::array())
                               : json::array();
    for (const json& offered : encodings) {
        if (offered == "utf-8") {
            encoding_ = PositionEncoding::kUtf8;
        }
    }
    if (params.is_object() && params.contains("initializationOptions")) {
        ReadSettings(params["initializationOptions"]);
    }
    initialized_ = true;
    return {{"capabilities",
             {{"positionEncoding", encoding_ == PositionEncoding::kUtf8 ? "utf-8" : "utf-16"},
              {"textDocumentSync", {{"openClose", true}, {"change", kSyncIncremental}}},
              {"hoverProvider", true},
              {"documentSymbolProvider", true},
              {"documentFormattingProvider", true},
              {"codeActionProvider", true},
              {"codeLensProvider", {{"resolveProvider", false}}},
              {"executeCommandProvider", {{"commands", CommandNames()}}}}},
            {"serverInfo", {{"name", "tez"}, {"version", TEZ_VERSION_STRING}}}};
}

json LanguageServer::Shutdown(const json&) {
    shutdown_ = true;
    session_->Stop();
    return nullptr;
}

json LanguageServer::DidOpen(const json& params) {
    const json& item = Field(params, "textDocument");
    const auto uri = Field(item, "uri").get<std::string>();
    TextDocument& document = documents_[uri];
    document.ReplaceAll(Field(item, "text").get<std::string>());
    document.version = ++sequence_;
    checker_->Submit(uri, document.version, item.value("version", std::int64_t{0}), document.text);
    return nullptr;
}

json LanguageServer::DidChange(const json& params) {
    const auto uri = UriOf(params);
    const auto document = documents_.find(uri);
    if (document == documents_.end()) {
        return nullptr;
    }
    for (const json& change : Field(params, "contentChanges")) {
        const auto text = Field(change, "text").get<std::string>();
        if (change.contains("range")) {
            const json& range = change["range"];
            document->second.Replace(PositionOf(Field(range, "start")),
                                     PositionOf(Field(range, "end")), text, encoding_);
        } else {
            document->second.ReplaceAll(text);
        }
    }
    document->second.version = ++sequence_;
    checker_->Submit(uri, document->second.version,
                     Field(params, "textDocument").value("version", std::int64_t{0}),
                     document->second.text);
    return nullptr;
}

json LanguageServer::DidClose(const json& params) {
    const auto uri = UriOf(params);
    documents_.erase(uri);
    checker_->Forget(uri);
    Notify("textDocument/publishDiagnostics", {{"uri", uri}, {"diagnostics", json::array()}});
    return nullptr;
}

json LanguageServer::DidChangeConfiguration(const json& params) {
    ReadSettings(params.value("settings", json::object()));
    return nullptr;
}

json LanguageServer::Hover(const json& params) {
    return HoverOf(*Converted(UriOf(params)), PositionOf(Field(params, "position")).line);
}

json LanguageServer::DocumentSymbol(const json& params) {
    return SymbolsOf(*Converted(UriOf(params)), encoding_);
}

json LanguageServer::CodeLens(const json& params) {
    const auto uri = UriOf(params);
    return CodeLensesOf(*Converted(uri), uri);
}

json LanguageServer::CodeAction(const json& params) {
    const json& range = Field(params, "range");
    const TextPosition start = PositionOf(Field(range, "start"));
    TextPosition end = PositionOf(Field(range, "end"));
    // A selection of whole lines ends at the start of the line after it.
    if (end.line > start.line && end.character == 0) {
        --end.line;
    }
    return CodeActionsFor(UriOf(params), start.line, std::max(start.line, end.line));
}

json LanguageServer::Formatting(const json& params) {
    return FormattingOf(*Converted(UriOf(params)), encoding_);
}

json LanguageServer::ExecuteCommand(const json& params) {
    const auto command = Field(params, "command").get<std::string>();
    const json arguments = params.value("arguments", json::array());
    CommandOutcome outcome;
    if (command == kPlayCommand || command == kLoopCommand) {
        const auto uri = arguments.at(0).get<std::string>();
        const auto first = static_cast<std::int32_t>(LineArgument(arguments.at(1)) + 1);
        std::optional<std::int32_t> last;
        if (command == kLoopCommand) {
            last = static_cast<std::int32_t>(LineArgument(arguments.at(2)) + 1);
            if (*last < first) {
                throw BadParams{"the last line comes before the first"};
            }
        }
        outcome = session_->Play(uri, Converted(uri), first, last);
    } else if (command == kPauseCommand) {
        outcome = session_->TogglePause();
    } else if (command == kStopCommand) {
        outcome = session_->Stop();
    } else if (command == kTempoUpCommand || command == kTempoDownCommand) {
        outcome = session_->StepTempo(command == kTempoUpCommand ? 1 : -1);
    } else if (command == kKeyUpCommand || command == kKeyDownCommand) {
        outcome = session_->StepKey(command == kKeyUpCommand ? 1 : -1);
    } else {
        throw BadParams{"no such command: " + command};
    }
    if (!outcome.ok) {
        throw outcome;
    }
    return outcome.message;
}

}  // namespace tez::cli
