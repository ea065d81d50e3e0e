#include "audio_file_writer.h"

#include <fcntl.h>
#include <sndfile.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <vector>

#include "ogg_serial.h"
#include "score/atomic_file.h"

namespace tez::cli {
namespace {

struct FormatInfo {
    AudioFormat format;
    const char* name;
    int sndfileFormat;
};

constexpr std::array<FormatInfo, 5> kFormats{{
    {AudioFormat::kWav, "wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16},
    {AudioFormat::kFlac, "flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16},
    {AudioFormat::kOgg, "ogg", SF_FORMAT_OGG | SF_FORMAT_VORBIS},
    {AudioFormat::kAu, "au", SF_FORMAT_AU | SF_FORMAT_PCM_16},
    {AudioFormat::kRaw, "raw", SF_FORMAT_RAW | SF_FORMAT_PCM_16 | SF_ENDIAN_LITTLE},
}};

const FormatInfo& InfoFor(AudioFormat format) {
    return *std::find_if(kFormats.begin(), kFormats.end(),
                         [format](const FormatInfo& f) { return f.format == format; });
}

bool WriteAll(int fd, const std::uint8_t* bytes, std::size_t size) {
    while (size > 0) {
        const ssize_t written = ::write(fd, bytes, size);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        bytes += written;
        size -= static_cast<std::size_t>(written);
    }
    return true;
}

// A growable file in memory, for libsndfile's virtual I/O.
struct MemoryFile {
    std::vector<std::uint8_t> bytes;
    std::size_t position = 0;
};

MemoryFile& Memory(void* user) {
    return *static_cast<MemoryFile*>(user);
}

SF_VIRTUAL_IO MemoryIo() {
    SF_VIRTUAL_IO io{};
    io.get_filelen = [](void* user) { return static_cast<sf_count_t>(Memory(user).bytes.size()); };
    io.seek = [](sf_count_t offset, int whence, void* user) -> sf_count_t {
        MemoryFile& file = Memory(user);
        const sf_count_t base = whence == SEEK_SET   ? 0
                                : whence == SEEK_CUR ? static_cast<sf_count_t>(file.position)
                                                     : static_cast<sf_count_t>(file.bytes.size());
        if (base + offset < 0)
            return -1;
        file.position = static_cast<std::size_t>(base + offset);
        return base + offset;
    };
    io.read = [](void* ptr, sf_count_t count, void* user) -> sf_count_t {
        MemoryFile& file = Memory(user);
        const std::size_t left =
            file.position < file.bytes.size() ? file.bytes.size() - file.position : 0;
        const std::size_t n = std::min(left, static_cast<std::size_t>(count));
        std::memcpy(ptr, file.bytes.data() + file.position, n);
        file.position += n;
        return static_cast<sf_count_t>(n);
    };
    io.write = [](const void* ptr, sf_count_t count, void* user) -> sf_count_t {
        MemoryFile& file = Memory(user);
        const auto n = static_cast<std::size_t>(count);
        if (file.position + n > file.bytes.size())
            file.bytes.resize(file.position + n);
        std::memcpy(file.bytes.data() + file.position, ptr, n);
        file.position += n;
        return count;
    };
    io.tell = [](void* user) { return static_cast<sf_count_t>(Memory(user).position); };
    return io;
}

// A file on disk for libsndfile's virtual I/O, which keeps the system's reason for a failed
// write (a full disk) rather than only libsndfile's own words.
struct DescriptorFile {
    int fd = -1;
    int writeError = 0;
};

DescriptorFile& Descriptor(void* user) {
    return *static_cast<DescriptorFile*>(user);
}

SF_VIRTUAL_IO DescriptorIo() {
    SF_VIRTUAL_IO io{};
    io.get_filelen = [](void* user) -> sf_count_t {
        struct stat file = {};
        return ::fstat(Descriptor(user).fd, &file) == 0 ? file.st_size : -1;
    };
    io.seek = [](sf_count_t offset, int whence, void* user) -> sf_count_t {
        return ::lseek(Descriptor(user).fd, offset, whence);
    };
    io.read = [](void* ptr, sf_count_t count, void* user) -> sf_count_t {
        const ssize_t got = ::read(Descriptor(user).fd, ptr, static_cast<std::size_t>(count));
        return got < 0 ? 0 : got;
    };
    io.write = [](const void* ptr, sf_count_t count, void* user) -> sf_count_t {
        DescriptorFile& file = Descriptor(user);
        if (!WriteAll(file.fd, static_cast<const std::uint8_t*>(ptr),
                      static_cast<std::size_t>(count))) {
            file.writeError = file.writeError != 0 ? file.writeError : errno;
            return 0;
        }
        return count;
    };
    io.tell = [](void* user) -> sf_count_t { return ::lseek(Descriptor(user).fd, 0, SEEK_CUR); };
    return io;
}

bool IsSeekable(int fd) {
    return ::lseek(fd, 0, SEEK_CUR) >= 0;
}

}  // namespace

struct AudioFileWriter::State {
    SNDFILE* sound = nullptr;
    std::optional<ReplacingFile> target;
    int fd = -1;
    // Encoded whole in memory, then written: a stream that cannot seek (a pipe) gets no
    // header rewritten after its frames, and an Ogg stream's serial number, random in
    // libsndfile, is made fixed so a render's bytes never vary.
    std::unique_ptr<MemoryFile> memory;
    bool ogg = false;
    DescriptorFile file;
    SF_VIRTUAL_IO io{};
    bool failed = false;
    std::string error;

    void Fail(std::string why) {
        if (!failed)
            error = std::move(why);
        failed = true;
    }
    // The system's reason when a write failed, else libsndfile's.
    void FailWrite(const char* libraryReason) {
        Fail(file.writeError != 0 ? std::strerror(file.writeError) : libraryReason);
    }

    ~State() {
        if (sound != nullptr)
            sf_close(sound);
    }
};

std::optional<AudioFormat> AudioFormatNamed(std::string_view name) {
    for (const FormatInfo& f : kFormats) {
        if (name == f.name)
            return f.format;
    }
    return std::nullopt;
}

const char* AudioFormatName(AudioFormat format) {
    return InfoFor(format).name;
}

std::optional<AudioFormat> AudioFormatForPath(const std::string& path) {
    if (path == kStandardOutputName)
        return AudioFormat::kFlac;
    std::string extension = std::filesystem::path(path).extension().string();
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (extension == ".oga")
        return AudioFormat::kOgg;
    return extension.empty() ? std::nullopt : AudioFormatNamed(extension.substr(1));
}

std::unique_ptr<AudioFileWriter> AudioFileWriter::Open(const std::string& path, AudioFormat format,
                                                       int sampleRate, int channels,
                                                       std::string& error) {
    auto state = std::make_unique<State>();
    state->target.emplace(path);
    if (!state->target->IsOpen()) {
        error = std::string("cannot create ") + path + ": " + std::strerror(errno);
        return nullptr;
    }
    state->fd = state->target->Descriptor();
    SF_INFO info{};
    info.samplerate = sampleRate;
    info.channels = channels;
    info.format = InfoFor(format).sndfileFormat;
    state->ogg = format == AudioFormat::kOgg;
    if (state->ogg || !IsSeekable(state->fd)) {
        state->memory = std::make_unique<MemoryFile>();
        state->io = MemoryIo();
        state->sound = sf_open_virtual(&state->io, SFM_WRITE, &info, state->memory.get());
    } else {
        state->file.fd = state->fd;
        state->io = DescriptorIo();
        state->sound = sf_open_virtual(&state->io, SFM_WRITE, &info, &state->file);
    }
    if (state->sound == nullptr) {
        error = std::string("cannot write ") + path + ": " +
                (state->file.writeError != 0 ? std::strerror(state->file.writeError)
                                             : sf_strerror(nullptr));
        return nullptr;
    }
    return std::unique_ptr<AudioFileWriter>(new AudioFileWriter(std::move(state)));
}

std::string AudioFileWriter::Error() const {
    return state_->error;
}

AudioFileWriter::AudioFileWriter(std::unique_ptr<State> state) : state_(std::move(state)) {}

AudioFileWriter::~AudioFileWriter() = default;

bool AudioFileWriter::Append(std::span<const std::int16_t> interleaved) {
    const auto count = static_cast<sf_count_t>(interleaved.size());
    if (sf_write_short(state_->sound, interleaved.data(), count) != count)
        state_->FailWrite(sf_strerror(state_->sound));
    return !state_->failed;
}

bool AudioFileWriter::Finish() {
    if (const int closed = sf_close(state_->sound); closed != 0 || state_->file.writeError != 0)
        state_->FailWrite(sf_error_number(closed));
    state_->sound = nullptr;
    if (state_->memory != nullptr && !state_->failed) {
        std::vector<std::uint8_t>& bytes = state_->memory->bytes;
        if (state_->ogg && !SetOggSerialNumber(bytes, kOggSerialNumber))
            state_->Fail("the Ogg stream is not whole pages");
        else if (!WriteAll(state_->fd, bytes.data(), bytes.size()))
            state_->Fail(std::strerror(errno));
    }
    if (!state_->failed && !state_->target->Commit())
        state_->Fail(std::strerror(errno));
    return !state_->failed;
}

}  // namespace tez::cli
