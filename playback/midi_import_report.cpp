// The words of the import report.
#include <array>
#include <cstdio>
#include <cstring>

#include "playback/midi_import.h"
#include "playback/printable_name.h"

namespace tez {
namespace {

struct KindWords {
    const char* name;
    const char* one;   // with a count of 1
    const char* many;  // with any other count
    const char* what;  // what became of them
};

// In the order of LossKind.
constexpr std::array<KindWords, 21> kWords = {{
    {"cut-short", "the file is cut short", "the file is cut short", "imported as far as it goes"},
    {"no-timing", "the division gives no timing", "the division gives no timing",
     "every event imported at the start"},
    {"smpte", "SMPTE timing", "SMPTE timing", ""},
    {"tempo", "tempo change", "tempo changes", ""},
    {"program", "program change", "program changes", "not kept"},
    {"bank", "bank select", "bank selects", "not kept"},
    {"controller", "change of controller", "changes of controller", "not kept"},
    {"pitch-bend", "pitch bend", "pitch bends", "not kept"},
    {"key-pressure", "key pressure message", "key pressure messages", "not kept"},
    {"channel-pressure", "channel pressure message", "channel pressure messages", "not kept"},
    {"system-exclusive", "system exclusive message", "system exclusive messages", "not kept"},
    {"text", "text event", "text events", "not kept (names, copyright, words)"},
    {"lyric", "lyric", "lyrics", "not kept"},
    {"marker-text", "marker that is no number from 1 to 999",
     "markers that are no numbers from 1 to 999", "not kept"},
    {"meta", "meta event of type", "meta events of type", "not kept"},
    {"note-off-velocity", "note-off velocity", "note-off velocities", "not kept (sent as 0)"},
    {"pedal-value", "sustain pedal value other than 0 and 127",
     "sustain pedal values other than 0 and 127", "sent as 0 (below 64) or 127"},
    {"overlap-order", "note-off of a key struck again at its tick",
     "note-offs of keys struck again at their tick",
     "sent before that note-on instead of after it"},
    {"stray-note-off", "note-off without a sounding note", "note-offs without a sounding note",
     "not kept"},
    {"unended-note", "note without a note-off", "notes without a note-off",
     "ended where the file ends"},
    {"after-end", "event after End of Track", "events after End of Track", "not kept"},
}};

const KindWords& WordsOf(LossKind kind) {
    return kWords[static_cast<std::size_t>(kind)];
}

std::string Counted(const ImportLoss& loss) {
    const KindWords& words = WordsOf(loss.kind);
    return std::to_string(loss.count) + " " + (loss.count == 1 ? words.one : words.many);
}

std::string MetaName(std::int32_t type, std::uint64_t count) {
    const char* name = "meta event";
    switch (type) {
        case 0x00:
            name = "sequence number";
            break;
        case 0x20:
            name = "channel prefix";
            break;
        case 0x21:
            name = "port prefix";
            break;
        case 0x54:
            name = "SMPTE offset";
            break;
        case 0x58:
            name = "time signature";
            break;
        case 0x59:
            name = "key signature";
            break;
        case 0x7F:
            name = "sequencer-specific event";
            break;
        default:
            break;
    }
    return std::string(name) + (count == 1 ? "" : "s");
}

std::string Factor(std::int32_t tempo) {
    // The score's quarter lasts 480,000 microseconds; the file's lasted `tempo`.
    const double factor = static_cast<double>(tempo) / 480'000.0;
    char text[64];
    if (factor >= 1) {
        std::snprintf(text, sizeof text, "%.3fx faster", factor);
    } else {
        std::snprintf(text, sizeof text, "%.3fx slower", 1 / factor);
    }
    return text;
}

std::string DescribeStretches(const MidiImport& import) {
    constexpr std::size_t kShown = 6;
    std::string text;
    for (std::size_t i = 0; i < import.stretches.size() && i < kShown; ++i) {
        const TempoStretch& stretch = import.stretches[i];
        text += (i == 0 ? "" : ", ") + Factor(stretch.tempo) + " from tick " +
                std::to_string(stretch.tick);
    }
    if (import.stretches.size() > kShown) {
        text += ", ...";
    }
    return text;
}

// "track 2 (Piano), channel 1": where the kind was met first; empty for the whole file.
std::string PlaceOf(const ImportLoss& loss, const MidiImport& import) {
    std::string place;
    if (loss.first.track >= 0) {
        place = "track " + std::to_string(loss.first.track + 1);
        const std::string& name = import.trackNames[static_cast<std::size_t>(loss.first.track)];
        if (!name.empty()) {
            place += " (" + PrintableName(name) + ")";
        }
    }
    if (loss.first.channel >= 0) {
        place += (place.empty() ? "" : ", ") + std::string("channel ") +
                 std::to_string(loss.first.channel);
    }
    return place;
}

bool IsWholeFile(LossKind kind) {
    return kind == LossKind::kCutShort || kind == LossKind::kNoTiming || kind == LossKind::kSmpte;
}

}  // namespace

bool ImportedScore(const MidiImport& import) {
    return import.load == LoadResult::kOk || import.load == LoadResult::kTruncated ||
           import.load == LoadResult::kNoTiming;
}

std::string DescribeUnreadable(const MidiImport& import) {
    return import.load == LoadResult::kOpenFailed ? std::strerror(import.openError)
                                                  : DescribeLoadResult(import.load);
}

std::string DescribeLossAt(const ImportLoss& loss, const MidiImport& import) {
    const std::string place = PlaceOf(loss, import);
    std::string message = DescribeLoss(loss, import);
    if (!IsWholeFile(loss.kind) && loss.kind != LossKind::kTempo) {
        message += std::string(loss.count == 1 ? ", at tick " : ", the first at tick ") +
                   std::to_string(loss.first.tick);
    }
    return place + (place.empty() ? "" : ": ") + (loss.keptOtherwise ? "note: " : "warning: ") +
           message;
}

std::string DescribeLoss(const ImportLoss& loss, const MidiImport& import) {
    switch (loss.kind) {
        case LossKind::kCutShort:
        case LossKind::kNoTiming:
            return std::string(WordsOf(loss.kind).one) + "; " + WordsOf(loss.kind).what;
        case LossKind::kSmpte:
            return loss.keptOtherwise ? "SMPTE timing kept as exact times"
                                      : "SMPTE timing counts no beats; imported in exact time";
        case LossKind::kTempo:
            if (loss.keptOtherwise) {
                return Counted(loss) +
                       " kept as exact times; the score plays at 125 beats a minute";
            }
            return "the tempo map is not kept: " + std::to_string(loss.count) +
                   (loss.count == 1 ? " stretch plays " : " stretches play ") +
                   "at 125 beats a minute: " + DescribeStretches(import);
        case LossKind::kOtherMeta:
            return std::to_string(loss.count) + " " + MetaName(loss.detail, loss.count) +
                   " (meta event " + std::to_string(loss.detail) + ") not kept";
        case LossKind::kController:
            return Counted(loss) + " " + std::to_string(loss.detail) + " " +
                   WordsOf(loss.kind).what;
        default:
            return Counted(loss) + " " + WordsOf(loss.kind).what;
    }
}

const char* LossKindName(LossKind kind) {
    return WordsOf(kind).name;
}

bool LostAnything(const MidiImport& import) {
    for (const ImportLoss& loss : import.losses) {
        if (!loss.keptOtherwise) {
            return true;
        }
    }
    return false;
}

}  // namespace tez
