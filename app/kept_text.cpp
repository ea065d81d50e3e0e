#include "kept_text.h"

#include <new>

namespace tez {

namespace {

// zlib's fastest level: a score's lines repeat so much that it already packs them some 10
// to 50 times smaller, in a few tens of milliseconds for a million lines.
constexpr int kPackLevel = 1;

// The UTF-8 forms of the characters, other than a line feed, that break a line in the box.
constexpr std::string_view kParagraphSeparator = "\xE2\x80\xA9";
constexpr std::string_view kFrameStart = "\xEF\xB7\x90";
constexpr std::string_view kFrameEnd = "\xEF\xB7\x91";

// How many bytes at the start of `rest` are a box line break, and whether it ends a score
// line.
std::size_t BoxBreakAt(std::string_view rest, bool& endsScoreLine) {
    endsScoreLine = rest[0] == '\n' || rest.starts_with("\r\n");
    if (rest.starts_with("\r\n")) {
        return 2;
    }
    if (rest[0] == '\n' || rest[0] == '\r') {
        return 1;
    }
    for (const std::string_view other : {kParagraphSeparator, kFrameStart, kFrameEnd}) {
        if (rest.starts_with(other)) {
            return other.size();
        }
    }
    return 0;
}

std::vector<std::int32_t> FindBreaksWithinLines(std::string_view text) {
    std::vector<std::int32_t> breaks;
    // Most scores have no break but line feeds: a quick look for each other first byte
    // settles them.
    if (text.find('\r') == std::string_view::npos && text.find('\xE2') == std::string_view::npos &&
        text.find('\xEF') == std::string_view::npos) {
        return breaks;
    }
    std::int32_t boxLine = 0;
    for (std::size_t at = text.find_first_of("\n\r\xE2\xEF"); at < text.size();
         at = text.find_first_of("\n\r\xE2\xEF", at)) {
        bool endsScoreLine = false;
        const std::size_t length = BoxBreakAt(text.substr(at), endsScoreLine);
        if (length == 0) {
            ++at;
            continue;
        }
        if (!endsScoreLine) {
            breaks.push_back(boxLine);
        }
        ++boxLine;
        at += length;
    }
    return breaks;
}

}  // namespace

KeptText& KeptText::operator=(std::string text) {
    plain_ = std::move(text);
    packed_ = QByteArray();
    TextChanged();
    return *this;
}

void KeptText::Append(std::string_view text) {
    *this = Text().append(text);
}

void KeptText::TextChanged() {
    size_ = plain_.size();
    breaksWithinLines_ = FindBreaksWithinLines(plain_);
}

std::string KeptText::Text() const {
    if (packed_.isEmpty()) {
        return plain_;
    }
    const QByteArray unpacked = qUncompress(packed_);
    if (static_cast<std::size_t>(unpacked.size()) != size_) {
        throw std::bad_alloc();  // the only way a text packed here fails to unpack
    }
    return std::string(unpacked.constData(), size_);
}

void KeptText::Compact() {
    if (!packed_.isEmpty() || plain_.size() < kCompactBytes) {
        return;
    }
    try {
        packed_ = qCompress(reinterpret_cast<const uchar*>(plain_.data()),
                            static_cast<qsizetype>(plain_.size()), kPackLevel);
    } catch (const std::bad_alloc&) {
        packed_ = QByteArray();
    }
    if (!packed_.isEmpty()) {
        std::string().swap(plain_);
    }
}

}  // namespace tez
