// `tez check SCORE... [--format text|json]`: reads scores and reports every value the
// writer would repair, writing nothing.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "commands.h"
#include "json_text.h"
#include "playback_source.h"
#include "score/smf_writer.h"
#include "score_input.h"

namespace tez::cli {
namespace {

enum class ReportFormat { kText, kJson };

struct CheckOptions {
    std::vector<std::string> scores;
    std::string format = "text";
};

// Exit statuses, worst last.
constexpr int kClean = 0;
constexpr int kFaulty = 1;  // warnings, or no notes at all
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
        std::fprintf(stderr, "tez: cannot open %s: %s\n", PrintableName(file).c_str(),
                     reason.c_str());
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
    if (!table.HasRecords()) {
        // Nothing to play: an error at the top of the score, after nothing else.
        if (format == ReportFormat::kJson) {
            PrintJson(file, {1, kNoNotes, 1}, "error");
        } else {
            std::printf("%s:1:1: error: %s\n", PrintableName(file).c_str(), kNoNotes);
        }
        return kFaulty;
    }
    try {
        ScoreMidiSummary summary;
        BuildScoreMidiFile(table, &diagnostics, &summary);
        WarnIfSilent(summary, diagnostics);
    } catch (const std::bad_alloc&) {
        ReportUnreadable(file, "out of memory", format);
        return kUnreadable;
    }
    SortByPosition(diagnostics);
    const std::string name = PrintableName(file);
    for (const Diagnostic& d : diagnostics) {
        if (format == ReportFormat::kJson) {
            PrintJson(file, d, "warning");
        } else {
            std::printf("%s\n", FormatWarning(name, d).c_str());
        }
    }
    return diagnostics.empty() ? kClean : kFaulty;
}

void Check(const CheckOptions& options) {
    const ReportFormat format =
        options.format == "json" ? ReportFormat::kJson : ReportFormat::kText;
    int status = kClean;
    for (const std::string& file : options.scores) {
        const int scoreStatus = CheckScore(file, format);
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
        ->check(CLI::IsMember({"text", "json"}).description(""))
        ->type_name("text|json");
    command->footer(
        "Exit status: 0 every score is clean, 1 some score has warnings or no notes, "
        "2 some score cannot be read.");
    command->callback([options] { Check(*options); });
}

}  // namespace tez::cli
