// `tez import FILE.mid [-o SCORE] [--beats] [--format text|json]`: writes the score of a MIDI
// file and reports what the score could not keep.
#include <cerrno>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "commands.h"
#include "json_text.h"
#include "playback/midi_import.h"
#include "score/atomic_file.h"
#include "score/score_layout.h"
#include "score/smf_writer.h"
#include "score_input.h"

namespace tez::cli {
namespace {

struct ImportOptions {
    std::string file;
    std::string output = "-";
    std::string format = "text";
    bool beats = false;
};

constexpr int kAllKept = 0;
constexpr int kSomethingLost = 1;
constexpr int kUnreadable = 2;

void PrintText(std::FILE* out, const std::string& file, const MidiImport& import) {
    const std::string name = PrintableName(file);
    for (const ImportLoss& loss : import.losses) {
        std::fprintf(out, "%s: %s\n", name.c_str(), DescribeLossAt(loss, import).c_str());
    }
}

void PrintJson(std::FILE* out, const std::string& file, const MidiImport& import) {
    for (const ImportLoss& loss : import.losses) {
        std::string line = "{\"file\":" + JsonString(file);
        if (loss.first.track >= 0) {
            line += ",\"track\":" + std::to_string(loss.first.track + 1) + ",\"trackName\":" +
                    JsonString(import.trackNames[static_cast<std::size_t>(loss.first.track)]);
        }
        if (loss.first.channel >= 0) {
            line += ",\"channel\":" + std::to_string(loss.first.channel);
        }
        line += ",\"tick\":" + std::to_string(loss.first.tick) + ",\"severity\":\"" +
                (loss.keptOtherwise ? "note" : "warning") + "\",\"kind\":\"" +
                LossKindName(loss.kind) + "\"";
        if (loss.detail >= 0) {
            line += ",\"number\":" + std::to_string(loss.detail);
        }
        line += ",\"count\":" + std::to_string(loss.count);
        if (loss.kind == LossKind::kTempo && !loss.keptOtherwise) {
            line += ",\"stretches\":[";
            for (std::size_t i = 0; i < import.stretches.size(); ++i) {
                char factor[32];
                std::snprintf(factor, sizeof factor, "%.6f",
                              static_cast<double>(import.stretches[i].tempo) / kScoreTempo);
                line += std::string(i == 0 ? "" : ",") +
                        "{\"tick\":" + std::to_string(import.stretches[i].tick) +
                        ",\"speed\":" + factor + "}";
            }
            line += "]";
        }
        line += ",\"message\":" + JsonString(DescribeLoss(loss, import)) + "}";
        std::fprintf(out, "%s\n", line.c_str());
    }
}

void ReportUnreadable(const std::string& file, const MidiImport& import, bool json) {
    const std::string reason = DescribeUnreadable(import);
    if (json) {
        std::printf("{\"file\":%s,\"severity\":\"error\",\"message\":%s}\n",
                    JsonString(file).c_str(), JsonString(reason).c_str());
        std::fflush(stdout);
    } else if (import.load == LoadResult::kOpenFailed) {
        std::fprintf(stderr, "%s\n", FileError("cannot open", file, import.openError).c_str());
    } else {
        std::fprintf(stderr, "tez: %s: %s\n", PrintableName(file).c_str(), reason.c_str());
    }
}

bool ToStandardOutput(const std::string& output) {
    return output == "-" || output.empty();
}

// Writes the score piece by piece: a large one is never held whole.
void WriteScore(const std::string& output, std::span<const ImportedRecord> records) {
    if (ToStandardOutput(output)) {
        bool ok = true;
        LayoutRecords(records, [&ok](const char* data, std::size_t size) {
            ok = ok && std::fwrite(data, 1, size, stdout) == size;
        });
        if (!ok || std::fflush(stdout) != 0) {
            throw CLI::RuntimeError(FileError("cannot write", "standard output", errno),
                                    kUnreadable);
        }
        return;
    }
    ReplacingFile file(output);
    if (!file.IsOpen()) {
        throw CLI::RuntimeError(FileError("cannot create", output, errno), kUnreadable);
    }
    bool ok = true;
    LayoutRecords(records, [&](const char* data, std::size_t size) {
        ok = ok && WriteAll(file.Descriptor(), {reinterpret_cast<const std::uint8_t*>(data), size});
    });
    if (!ok) {
        const int reason = errno;
        file.Abandon();
        throw CLI::RuntimeError(FileError("cannot write", output, reason), kUnreadable);
    }
    if (!file.Commit()) {
        throw CLI::RuntimeError(FileError("cannot write", output, errno), kUnreadable);
    }
}

void Import(const ImportOptions& options) {
    const bool json = options.format == "json";
    MidiImport import =
        ImportMidiFile(options.file, options.beats ? ImportTiming::kBeats : ImportTiming::kExact);
    if (!ImportedScore(import)) {
        ReportUnreadable(options.file, import, json);
        throw CLI::RuntimeError("", kUnreadable);
    }
    WriteScore(options.output, import.records);
    // The report must not run into a score written to standard output.
    std::FILE* report = ToStandardOutput(options.output) ? stderr : stdout;
    if (json) {
        PrintJson(report, options.file, import);
    } else {
        PrintText(report, options.file, import);
    }
    std::fflush(report);
    if (LostAnything(import)) {
        throw CLI::RuntimeError("", kSomethingLost);
    }
}

}  // namespace

void AddImportCommand(CLI::App& app) {
    auto options = std::make_shared<ImportOptions>();
    CLI::App* command = app.add_subcommand(
        "import", "Turn a Standard MIDI File into a score, reporting what it cannot keep");
    command->add_option("file", options->file, "Standard MIDI File")->required();
    command->add_option("-o,--output", options->output,
                        "Score to write (default -, standard output)");
    command->add_flag("--beats", options->beats,
                      "Keep the file's beats (a quarter becomes I120) instead of its times; the "
                      "tempo map is dropped");
    command
        ->add_option("--format", options->format,
                     "the report: text (file: place: warning: ...) or json (one object a line)")
        ->check(CLI::IsMember({"text", "json"}).description(""))
        ->type_name("text|json");
    command->footer(
        "The report goes to standard output when the score goes to a file, else to standard "
        "error. Exit status: 0 everything was kept, 1 something was not kept, 2 the file "
        "cannot be read or the score cannot be written.");
    command->callback([options] { Import(*options); });
}

}  // namespace tez::cli
