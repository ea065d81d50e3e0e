// `tez convert SCORE [-o OUT]`: writes the score's Standard MIDI File.
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <memory>
#include <string>

#include "commands.h"
#include "count_text.h"
#include "json_text.h"
#include "score/atomic_file.h"
#include "score/smf_writer.h"
#include "score_input.h"

namespace tez::cli {
namespace {

struct ConvertOptions {
    std::string score;
    std::string output = kScoreMidiFileName;
};

// True when `path` is where standard output goes: "-", /dev/stdout, or the file it is.
bool IsStandardOutput(const std::string& path) {
    if (path == kStandardOutputName) {
        return true;
    }
    struct stat output = {};
    struct stat standard = {};
    return ::stat(path.c_str(), &output) == 0 && ::fstat(STDOUT_FILENO, &standard) == 0 &&
           output.st_dev == standard.st_dev && output.st_ino == standard.st_ino;
}

void Convert(const ConvertOptions& options) {
    Diagnostics diagnostics;
    const NoteTable table = ReadScoreOrThrow(options.score, diagnostics);
    ScoreMidiSummary summary;
    const WriteStatus status = WriteScoreMidiFile(table, options.output, &diagnostics, &summary);
    const int reason = errno;
    if (status == WriteStatus::kOk) {
        WarnIfSilent(summary, diagnostics);
    }
    PrintWarnings(options.score, diagnostics);
    switch (status) {
        case WriteStatus::kOk:
            break;
        case WriteStatus::kCreateFailed:
            throw CLI::RuntimeError(FileError("cannot create", options.output, reason), 1);
        case WriteStatus::kWriteFailed:
            throw CLI::RuntimeError(FileError("cannot write", options.output, reason), 1);
        case WriteStatus::kOutOfMemory:
            throw CLI::RuntimeError("tez: out of memory writing " + PrintableName(options.output),
                                    1);
    }
    const double seconds =
        static_cast<double>(summary.lengthTicks) * kScoreTempo / kScoreDivision / 1e6;
    // The summary must not run into a file written to standard output.
    std::FILE* summaryStream = IsStandardOutput(options.output) ? stderr : stdout;
    std::fprintf(summaryStream, "%s: %s, %s, %s (%.3f s)\n", PrintableName(options.output).c_str(),
                 Counted(summary.records, "record").c_str(), Counted(summary.notes, "note").c_str(),
                 Counted(summary.lengthTicks, "tick").c_str(), seconds);
}

}  // namespace

void AddConvertCommand(CLI::App& app) {
    auto options = std::make_shared<ConvertOptions>();
    CLI::App* command = app.add_subcommand("convert", "Convert a score to a Standard MIDI File");
    command->add_option("score", options->score, "Score file (.tez)")->required();
    command->add_option("-o,--output", options->output,
                        "Output file (default tez_p.smf; - for standard output)");
    command->footer(
        "Exit status: 0 written (repaired values are warned about), 1 the score "
        "cannot be read or the file cannot be written.");
    command->callback([options] { Convert(*options); });
}

}  // namespace tez::cli
