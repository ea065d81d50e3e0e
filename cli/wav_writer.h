// Writes 16-bit PCM WAV files.
#pragma once

#include <cstdint>
#include <cstdio>
#include <span>
#include <string>

namespace tez::cli {

class WavWriter {
  public:
    WavWriter(int sampleRate, int channels) : sampleRate_(sampleRate), channels_(channels) {}
    ~WavWriter();
    WavWriter(const WavWriter&) = delete;
    WavWriter& operator=(const WavWriter&) = delete;

    bool Open(const std::string& path);
    bool Append(std::span<const std::int16_t> samples);
    // Fills in the lengths in the header and closes the file.
    bool Finish();

  private:
    bool WriteHeader(std::uint32_t dataBytes);

    int sampleRate_;
    int channels_;
    std::FILE* file_ = nullptr;
    std::uint64_t dataBytes_ = 0;
    bool failed_ = false;
};

}  // namespace tez::cli
