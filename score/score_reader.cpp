#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdint>
#include <memory>
#include <new>

#include "huge_pages.h"
#include "note_table.h"

namespace tez {
namespace {

constexpr std::array<bool, 256> MakeLetterOrDigitTable() {
    std::array<bool, 256> table{};
    for (int c = '0'; c <= '9'; ++c)
        table[c] = true;
    for (int c = 'A'; c <= 'Z'; ++c)
        table[c] = true;
    for (int c = 'a'; c <= 'z'; ++c)
        table[c] = true;
    return table;
}
// Only ASCII letters and digits count, byte by byte, whatever the locale says.
constexpr std::array<bool, 256> kLetterOrDigit = MakeLetterOrDigitTable();

// Assembles lines from a stream of bytes and parses each one at its line feed.
class LineAssembler {
  public:
    LineAssembler(NoteTable& table, Diagnostics* diagnostics)
        : table_(table), diagnostics_(diagnostics) {}

    // False when the table could not grow.
    bool Feed(std::string_view bytes) {
        // A byte's column is its index here less the index of its line's start, which lies
        // before this chunk (below 0) for a line begun in an earlier one.
        for (std::size_t i = 0; i < bytes.size(); ++i) {
            const auto byte = static_cast<unsigned char>(bytes[i]);
            if (kLetterOrDigit[byte]) {
                Keep(byte, static_cast<std::int64_t>(i) - lineStart_ + 1);
            } else if (byte == '\n') {
                if (!EndLine())
                    return false;
                lineStart_ = static_cast<std::int64_t>(i) + 1;
            }
        }
        lineStart_ -= static_cast<std::int64_t>(bytes.size());
        return true;
    }

    // Text after the last line feed is not parsed.
    void Finish() { table_.lastIndex = table_.count - 1; }

  private:
    void Keep(unsigned char byte, std::int64_t column) {
        if (lineLength_ < kMaxLineLetters) {
            lineColumns_[lineLength_] = Clamp(column);
            lineBuffer_[lineLength_++] = byte;
        } else if (!lineTooLong_) {
            lineTooLong_ = true;
            Warn("line has more than 1022 letters and digits; the rest of it is ignored",
                 Clamp(column));
        }
    }

    // A column past the 32-bit range (a line of gigabytes of blanks) is reported as unknown.
    static std::int32_t Clamp(std::int64_t column) {
        return column <= INT32_MAX ? static_cast<std::int32_t>(column) : 0;
    }

    bool EndLine() {
        lineBuffer_[lineLength_] = '\n';
        lineBuffer_[lineLength_ + 1] = 0;
        const bool stored =
            ParseScoreLine(table_, lineBuffer_.data(), lineLength_ + 1, table_.count, lineNumber_,
                           diagnostics_, lineColumns_.data());
        lineLength_ = 0;
        lineTooLong_ = false;
        if (stored) {
            table_.sourceLines.push_back(lineNumber_);
            ++table_.count;
            if (table_.count == table_.capacity && !GrowNoteTable(table_))
                return false;
        }
        ++lineNumber_;
        return true;
    }

    void Warn(std::string message, std::int32_t column) {
        if (diagnostics_ != nullptr)
            diagnostics_->push_back({lineNumber_, std::move(message), column});
    }

    NoteTable& table_;
    Diagnostics* diagnostics_;
    std::array<std::int32_t, kLineBufferSize> lineBuffer_{};
    std::array<std::int32_t, kLineBufferSize> lineColumns_{};  // byte column of each letter
    std::int32_t lineLength_ = 0;
    std::int64_t lineStart_ = 0;  // index of the current line's first byte in the chunk
    std::int32_t lineNumber_ = 1;
    bool lineTooLong_ = false;
};

ReadStatus OutOfMemory(NoteTable& table) {
    FreeNoteTable(table);
    table.count = 0;
    table.lastIndex = -1;
    return ReadStatus::kOutOfMemory;
}

class FileDescriptor {
  public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    ~FileDescriptor() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int get() const { return fd_; }

  private:
    int fd_;
};

// Reserves room for as many records as a file of this size usually holds, so a long score
// is not copied again and again as the table grows. Only the pages used are ever touched.
void ReserveForFileSize(NoteTable& table, int fd) {
    struct stat info {};
    if (::fstat(fd, &info) != 0 || info.st_size <= 0)
        return;
    constexpr std::size_t kUsualBytesPerRecord = 8;
    const auto records = static_cast<std::size_t>(info.st_size) / kUsualBytesPerRecord;
    try {
        table.records.reserve(records + kNoteTableStep);
        table.sourceLines.reserve(records + kNoteTableStep);
        AdviseHugePages(table.records.data(), table.records.capacity() * sizeof(NoteRecord));
        AdviseHugePages(table.sourceLines.data(),
                        table.sourceLines.capacity() * sizeof(std::int32_t));
    } catch (const std::bad_alloc&) {
        // Growing step by step still works, only slower.
    }
}

ReadStatus ReadOpenFile(NoteTable& table, int fd, Diagnostics* diagnostics) {
    ReserveForFileSize(table, fd);
    LineAssembler lines(table, diagnostics);
    constexpr std::size_t kChunk = 1 << 16;
    const auto buffer = std::make_unique<char[]>(kChunk);
    for (;;) {
        const ssize_t got = ::read(fd, buffer.get(), kChunk);
        if (got < 0 && errno == EINTR)
            continue;
        if (got == 0)
            break;
        if (got < 0) {  // e.g. a directory: unreadable, like a file that does not open
            const int reason = errno;
            if (!AllocateNoteTable(table))
                return OutOfMemory(table);
            errno = reason;
            return ReadStatus::kOpenFailed;
        }
        if (!lines.Feed({buffer.get(), static_cast<std::size_t>(got)}))
            return OutOfMemory(table);
    }
    lines.Finish();
    return ReadStatus::kOk;
}

}  // namespace

ReadStatus ReadScoreText(NoteTable& table, std::string_view text, Diagnostics* diagnostics) {
    if (!AllocateNoteTable(table))
        return OutOfMemory(table);
    try {
        LineAssembler lines(table, diagnostics);
        if (!lines.Feed(text))
            return OutOfMemory(table);
        lines.Finish();
    } catch (const std::bad_alloc&) {  // a record's line number or a warning found no memory
        return OutOfMemory(table);
    }
    return ReadStatus::kOk;
}

ReadStatus ReadScore(NoteTable& table, const std::string& path, Diagnostics* diagnostics) {
    if (!AllocateNoteTable(table))
        return OutOfMemory(table);
    FileDescriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (file.get() < 0)
        return ReadStatus::kOpenFailed;
    try {
        return ReadOpenFile(table, file.get(), diagnostics);
    } catch (const std::bad_alloc&) {  // a record's line number or a warning found no memory
        return OutOfMemory(table);
    }
}

}  // namespace tez
