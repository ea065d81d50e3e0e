// `tez check SCORE... [--format text|json]`: reads scores and reports every value the
// writer would repair, writing nothing.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "commands.h"
#include "json_text.h"
#include "score/smf_writer.h"
#include "score_input.h"

namespace tez::cli {
namespace {

enum class ReportFormat { kText, kJson };

struct CheckOptions {
    std::vector<std::string> scores;
    ReportFormat format = ReportFormat::kText;
};

// Exit statuses, worst last.
constexpr int kClean = 0;
constexpr int kWarnings = 1;
constexpr int kUnreadable = 2;

void PrintJson(const std::string& file, const Diagnostic& d, const char* severity) {
    std::printf("{\"file\":%s,\"line\":%d,\"column\":%d,\"severity\":\"%s\",\"message\":%s}\n",
                JsonString(file).c_str(), d.line, d.column, severity,
                JsonString(d.message).c_str());
}

void ReportUnreadable(const std::string& file, const std::string& reason, ReportFormat format) {
    if (format == ReportFormat::kJson) {
        PrintJson(file, {0, reason, 0}, "error");
    } else {
        std::fflush(stdout);  // the report keeps the order of the scores on a shared terminal
        std::fprintf(stderr, "tez: cannot open %s: %s\n", file.c_str(), reason.c_str());
    }
}

// The status of one score: its warnings are printed as they would be when converting it.
int CheckScore(const std::string& file, ReportFormat format) {
    NoteTable table;
    Diagnostics diagnostics;
    switch (ReadScore(table, file, &diagnostics)) {
        case ReadStatus::kOk:
            break;
        case ReadStatus::kOpenFailed:
            ReportUnreadable(file, std::strerror(errno), format);
            return kUnreadable;
        case ReadStatus::kOutOfMemory:
            ReportUnreadable(file, "out of memory", format);
            return kUnreadable;
    }
    try {
        BuildScoreMidiFile(table, &diagnostics);
    } catch (const std::bad_alloc&) {
        ReportUnreadable(file, "out of memory", format);
        return kUnreadable;
    }
    SortByPosition(diagnostics);
    for (const Diagnostic& d : diagnostics) {
        if (format == ReportFormat::kJson) {
            PrintJson(file, d, "warning");
        } else {
            std::printf("%s\n", FormatWarning(file, d).c_str());
        }
    }
    return diagnostics.empty() ? kClean : kWarnings;
}

void Check(const CheckOptions& options) {
    int status = kClean;
    for (const std::string& file : options.scores) {
        const int scoreStatus = CheckScore(file, options.format);
        status = scoreStatus > status ? scoreStatus : status;
    }
    std::fflush(stdout);
    if (status != kClean) {
        throw CLI::RuntimeError("", status);  // already reported, score by score
    }
}

}  // namespace

void AddCheckCommand(CLI::App& app) {
    auto options = std::make_shared<CheckOptions>();
    CLI::App* command = app.add_subcommand(
        "check", "Report the values each score's MIDI file would repair, writing nothing");
    command->add_option("scores", options->scores, "Score files (.tez)")->required();
    command
        ->add_option("--format", options->format,
                     "text: file:line:column: warning: ...; json: one JSON object a line")
        ->transform(CLI::CheckedTransformer(std::map<std::string, ReportFormat>{
            {"text", ReportFormat::kText}, {"json", ReportFormat::kJson}}));
    command->footer(
        "Exit status: 0 every score is clean, 1 some score has warnings, "
        "2 some score cannot be read.");
    command->callback([options] { Check(*options); });
}

}  // namespace tez::cli
