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

bool IsSeekable(int fd) {
    return ::lseek(fd, 0, SEEK_CUR) >= 0;
}

}  // namespace

struct AudioFileWriter::State {
    SNDFILE* sound = nullptr;
    int fd = -1;
    bool ownsFd = false;
    // Ogg is assembled in memory: its stream serial number is random in libsndfile and is
    // made fixed before the bytes are written, so a render's bytes never vary.
    std::unique_ptr<MemoryFile> memory;
    SF_VIRTUAL_IO memoryIo{};
    bool failed = false;
    std::string error;

    void Fail(std::string why) {
        if (!failed)
            error = std::move(why);
        failed = true;
    }

    ~State() {
        if (sound != nullptr)
            sf_close(sound);
        if (ownsFd && fd >= 0)
            ::close(fd);
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
    if (path == "-")
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
    const bool toStdout = path == "-";
    state->fd = toStdout ? STDOUT_FILENO
                         : ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    state->ownsFd = !toStdout;
    if (state->fd < 0) {
        error = std::string("cannot create ") + path + ": " + std::strerror(errno);
        return nullptr;
    }
    if (format == AudioFormat::kWav && !IsSeekable(state->fd)) {
        error = "a wav header cannot be completed on a pipe; choose --format flac, au or raw";
        return nullptr;
    }
    SF_INFO info{};
    info.samplerate = sampleRate;
    info.channels = channels;
    info.format = InfoFor(format).sndfileFormat;
    if (format == AudioFormat::kOgg) {
        state->memory = std::make_unique<MemoryFile>();
        state->memoryIo = MemoryIo();
        state->sound = sf_open_virtual(&state->memoryIo, SFM_WRITE, &info, state->memory.get());
    } else {
        state->sound = sf_open_fd(state->fd, SFM_WRITE, &info, SF_FALSE);
    }
    if (state->sound == nullptr) {
        error = std::string("cannot write ") + path + ": " + sf_strerror(nullptr);
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
        state_->Fail(sf_strerror(state_->sound));
    return !state_->failed;
}

bool AudioFileWriter::Finish() {
    if (const int closed = sf_close(state_->sound); closed != 0)
        state_->Fail(sf_error_number(closed));
    state_->sound = nullptr;
    if (state_->memory != nullptr && !state_->failed) {
        std::vector<std::uint8_t>& bytes = state_->memory->bytes;
        if (!SetOggSerialNumber(bytes, kOggSerialNumber))
            state_->Fail("the Ogg stream is not whole pages");
        else if (!WriteAll(state_->fd, bytes.data(), bytes.size()))
            state_->Fail(std::strerror(errno));
    }
    if (state_->ownsFd && ::close(state_->fd) != 0)
        state_->Fail(std::strerror(errno));
    state_->fd = -1;
    return !state_->failed;
}

}  // namespace tez::cli
