// Writes 16-bit PCM audio as WAV, FLAC, Ogg Vorbis, AU or raw through libsndfile, to a file
// or to standard output. A file is whole or not there: it replaces the old one only once
// finished (see ReplacingFile); a stream that cannot seek is encoded whole before it is written.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace tez::cli {

enum class AudioFormat { kWav, kFlac, kOgg, kAu, kRaw };

// "wav", "flac", "ogg", "au" or "raw".
std::optional<AudioFormat> AudioFormatNamed(std::string_view name);
const char* AudioFormatName(AudioFormat format);
// The format OUT's extension names; FLAC for standard output ("-").
std::optional<AudioFormat> AudioFormatForPath(const std::string& path);

class AudioFileWriter {
  public:
    // Opens `path` ("-" is standard output). nullptr when it cannot; `error` then says why,
    // naming the file. Destroyed unfinished, it leaves the old file as it was.
    static std::unique_ptr<AudioFileWriter> Open(const std::string& path, AudioFormat format,
                                                 int sampleRate, int channels, std::string& error);
    ~AudioFileWriter();
    AudioFileWriter(const AudioFileWriter&) = delete;
    AudioFileWriter& operator=(const AudioFileWriter&) = delete;

    bool Append(std::span<const std::int16_t> interleaved);
    // Completes the header (or the stream encoded in memory), closes and puts the file in
    // place. False when any write failed.
    bool Finish();
    // Why the last write failed, as libsndfile or the system says.
    std::string Error() const;

    struct State;

  private:
    explicit AudioFileWriter(std::unique_ptr<State> state);
    std::unique_ptr<State> state_;
};

}  // namespace tez::cli
