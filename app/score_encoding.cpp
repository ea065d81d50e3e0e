#include "score_encoding.h"

#include <iconv.h>

#include <QHash>
#include <array>
#include <cerrno>
#include <vector>

namespace tez {

namespace {

// A byte that is no character stands for itself as one of these: the encodings here map no
// character into this part of the private-use area (Shift_JIS's user area ends at U+E757).
constexpr char16_t kRawByteBase = 0xF700;

bool IsRawByte(char16_t unit) {
    return unit >= kRawByteBase && unit <= kRawByteBase + 0xFF;
}

const char* CharsetOf(TextEncoding encoding) {
    switch (encoding) {
        case TextEncoding::kUtf8:
            return "UTF-8";
        case TextEncoding::kShiftJis:
            return "CP932";
        case TextEncoding::kEucJp:
            return "EUC-JP";
    }
    return "UTF-8";
}

class Converter {
  public:
    Converter(const char* to, const char* from) : cd_(::iconv_open(to, from)) {}
    ~Converter() {
        if (IsOpen()) {
            ::iconv_close(cd_);
        }
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    bool IsOpen() const { return cd_ != reinterpret_cast<iconv_t>(-1); }
    // Converts as much as it can; false at a sequence it cannot convert (errno tells why),
    // with `in` at that sequence.
    bool Run(char*& in, std::size_t& inLeft, char*& out, std::size_t& outLeft) {
        return ::iconv(cd_, &in, &inLeft, &out, &outLeft) != static_cast<std::size_t>(-1);
    }
    void Reset() { ::iconv(cd_, nullptr, nullptr, nullptr, nullptr); }

  private:
    iconv_t cd_;
};

// Appends `text` (UTF-16, free of raw bytes) in the encoding; false when a character had to
// become '?'.
bool AppendEncoded(Converter& converter, std::u16string_view text, std::string& bytes) {
    bool whole = true;
    char* in = const_cast<char*>(reinterpret_cast<const char*>(text.data()));
    std::size_t inLeft = text.size() * sizeof(char16_t);
    std::array<char, 4096> block{};
    while (inLeft > 0) {
        char* out = block.data();
        std::size_t outLeft = block.size();
        const bool done = converter.Run(in, inLeft, out, outLeft);
        bytes.append(block.data(), static_cast<std::size_t>(out - block.data()));
        if (done || errno == E2BIG) {
            continue;
        }
        // A character the encoding has not (or half a surrogate pair): one '?' for it.
        const auto unit = *reinterpret_cast<const char16_t*>(in);
        const bool pair = unit >= 0xD800 && unit < 0xDC00 && inLeft >= 4;
        const std::size_t skip = std::min<std::size_t>(inLeft, pair ? 4 : 2);
        in += skip;
        inLeft -= skip;
        bytes.push_back('?');
        converter.Reset();
        whole = false;
    }
    return whole;
}

struct ByteLine {
    std::string_view content;
    std::string_view end;  // "\r\n", "\r", "\n"; empty for the last line
};

// Lines as the box breaks them: at a line feed, a carriage return, or both together.
template <typename Text, typename Line, typename MakeLine>
std::vector<Line> SplitLines(const Text& text, MakeLine make) {
    std::vector<Line> lines;
    std::size_t start = 0;
    for (std::size_t i = 0; i < static_cast<std::size_t>(text.size()); ++i) {
        if (text[i] != '\r' && text[i] != '\n') {
            continue;
        }
        const std::size_t endLength =
            text[i] == '\r' && i + 1 < static_cast<std::size_t>(text.size()) && text[i + 1] == '\n'
                ? 2
                : 1;
        lines.push_back(make(start, i - start, endLength));
        i += endLength - 1;
        start = i + 1;
    }
    lines.push_back(make(start, static_cast<std::size_t>(text.size()) - start, 0));
    return lines;
}

}  // namespace

QString EncodingName(TextEncoding encoding) {
    switch (encoding) {
        case TextEncoding::kUtf8:
            return QStringLiteral("UTF-8");
        case TextEncoding::kShiftJis:
            return QStringLiteral("Shift_JIS");
        case TextEncoding::kEucJp:
            return QStringLiteral("EUC-JP");
    }
    return QString();
}

TextEncoding DetectEncoding(std::string_view bytes) {
    const QByteArrayView view(bytes.data(), static_cast<qsizetype>(bytes.size()));
    return view.isValidUtf8() ? TextEncoding::kUtf8 : TextEncoding::kShiftJis;
}

// True when `units` hold no raw byte and no half of a surrogate pair: Qt's own UTF-8 encoder
// then writes them exactly.
bool IsPlainUnicode(std::u16string_view units) {
    for (std::size_t i = 0; i < units.size(); ++i) {
        const char16_t unit = units[i];
        if (IsRawByte(unit) || (unit >= 0xDC00 && unit < 0xE000)) {
            return false;
        }
        if (unit >= 0xD800 && unit < 0xDC00) {
            if (i + 1 == units.size() || units[i + 1] < 0xDC00 || units[i + 1] >= 0xE000) {
                return false;
            }
            ++i;
        }
    }
    return true;
}

QString DecodeText(std::string_view bytes, TextEncoding encoding) {
    const QByteArrayView view(bytes.data(), static_cast<qsizetype>(bytes.size()));
    if (encoding == TextEncoding::kUtf8 && view.isValidUtf8()) {
        return QString::fromUtf8(view);  // the common case, at Qt's speed
    }
    // No encoding here writes a character in fewer bytes than UTF-16 units.
    QString text(static_cast<qsizetype>(bytes.size()), Qt::Uninitialized);
    auto* units = reinterpret_cast<char16_t*>(text.data());
    Converter converter("UTF-16LE", CharsetOf(encoding));
    char* in = const_cast<char*>(bytes.data());
    std::size_t inLeft = bytes.size();
    char* out = reinterpret_cast<char*>(units);
    std::size_t outLeft = bytes.size() * sizeof(char16_t);
    while (inLeft > 0) {
        if (converter.IsOpen() && converter.Run(in, inLeft, out, outLeft)) {
            break;
        }
        // Not a character (or a system without the converter): the byte stands for itself.
        *reinterpret_cast<char16_t*>(out) =
            static_cast<char16_t>(kRawByteBase + static_cast<unsigned char>(*in));
        out += sizeof(char16_t);
        outLeft -= sizeof(char16_t);
        ++in;
        --inLeft;
        if (converter.IsOpen()) {
            converter.Reset();
        }
    }
    text.truncate(static_cast<qsizetype>((out - reinterpret_cast<char*>(units)) / 2));
    return text;
}

namespace {

// Encodes with one converter for many texts: opening one costs more than a line's work.
bool EncodeWith(Converter& converter, std::u16string_view units, std::string& bytes) {
    bool whole = true;
    std::size_t runStart = 0;
    for (std::size_t i = 0; i <= units.size(); ++i) {
        if (i < units.size() && !IsRawByte(units[i])) {
            continue;
        }
        const std::u16string_view run = units.substr(runStart, i - runStart);
        if (converter.IsOpen()) {
            whole = AppendEncoded(converter, run, bytes) && whole;
        } else {
            for (const char16_t unit : run) {
                whole = whole && unit < 0x80;
                bytes.push_back(unit < 0x80 ? static_cast<char>(unit) : '?');
            }
        }
        if (i < units.size()) {
            bytes.push_back(static_cast<char>(units[i] - kRawByteBase));
        }
        runStart = i + 1;
    }
    return whole;
}

std::u16string_view UnitsOf(QStringView text) {
    return {reinterpret_cast<const char16_t*>(text.utf16()), static_cast<std::size_t>(text.size())};
}

}  // namespace

bool EncodeText(const QString& text, TextEncoding encoding, std::string& bytes) {
    if (encoding == TextEncoding::kUtf8 && IsPlainUnicode(UnitsOf(text))) {
        bytes += text.toUtf8().toStdString();  // the common case, at Qt's speed
        return true;
    }
    Converter converter(CharsetOf(encoding), "UTF-16LE");
    return EncodeWith(converter, UnitsOf(text), bytes);
}

bool EncodeKeepingLines(const QString& boxText, std::string_view original, TextEncoding encoding,
                        std::string& bytes) {
    const auto old = SplitLines<std::string_view, ByteLine>(
        original, [&](std::size_t at, std::size_t length, std::size_t endLength) {
            return ByteLine{original.substr(at, length), original.substr(at + length, endLength)};
        });
    // Line breaks are ASCII in every encoding here, so the decoded text has the same lines.
    const QString decoded = DecodeText(original, encoding);
    const auto oldText = SplitLines<QString, QStringView>(
        decoded, [&](std::size_t at, std::size_t length, std::size_t) {
            return QStringView(decoded).sliced(static_cast<qsizetype>(at),
                                               static_cast<qsizetype>(length));
        });
    const auto boxLines = SplitLines<QString, QStringView>(
        boxText, [&](std::size_t at, std::size_t length, std::size_t) {
            return QStringView(boxText).sliced(static_cast<qsizetype>(at),
                                               static_cast<qsizetype>(length));
        });
    const std::string_view newEnd = original.find("\r\n") != std::string_view::npos ? "\r\n" : "\n";

    const std::size_t shorter = std::min(old.size(), boxLines.size());
    std::size_t prefix = 0;
    while (prefix < shorter && oldText[prefix] == boxLines[prefix]) {
        ++prefix;
    }
    std::size_t suffix = 0;
    while (suffix < shorter - prefix &&
           oldText[old.size() - 1 - suffix] == boxLines[boxLines.size() - 1 - suffix]) {
        ++suffix;
    }
    // Lines moved or kept within the edited part keep their bytes too.
    QHash<QStringView, std::size_t> oldLineOf;
    for (std::size_t i = prefix; i + suffix < old.size(); ++i) {
        oldLineOf.insert(oldText[i], i);
    }

    Converter converter(CharsetOf(encoding), "UTF-16LE");
    bool whole = true;
    bytes.clear();
    bytes.reserve(original.size() + static_cast<std::size_t>(boxText.size()) / 8);
    for (std::size_t line = 0; line < boxLines.size(); ++line) {
        std::optional<std::size_t> kept;
        if (line < prefix) {
            kept = line;
        } else if (line + suffix >= boxLines.size()) {
            kept = old.size() - (boxLines.size() - line);
        } else if (const auto found = oldLineOf.constFind(boxLines[line]);
                   found != oldLineOf.cend()) {
            kept = *found;
        }
        if (kept) {
            bytes.append(old[*kept].content);
        } else {
            whole = EncodeWith(converter, UnitsOf(boxLines[line]), bytes) && whole;
        }
        if (line + 1 < boxLines.size()) {
            bytes.append(kept && !old[*kept].end.empty() ? old[*kept].end : newEnd);
        }
    }
    return whole;
}

}  // namespace tez
