#include "wav_writer.h"

#include <array>
#include <limits>

namespace tez::cli {
namespace {

void PutLittleEndian(std::uint8_t* at, std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) {
        at[i] = static_cast<std::uint8_t>(value >> (8 * i));
    }
}

}  // namespace

WavWriter::~WavWriter() {
    if (file_ != nullptr) {
        std::fclose(file_);
    }
}

bool WavWriter::Open(const std::string& path) {
    file_ = std::fopen(path.c_str(), "wb");
    return file_ != nullptr && WriteHeader(0);
}

bool WavWriter::WriteHeader(std::uint32_t dataBytes) {
    std::array<std::uint8_t, 44> header{'R', 'I', 'F', 'F', 0,   0,   0,   0, 'W', 'A', 'V',
                                        'E', 'f', 'm', 't', ' ', 0,   0,   0, 0,   0,   0,
                                        0,   0,   0,   0,   0,   0,   0,   0, 0,   0,   0,
                                        0,   0,   0,   'd', 'a', 't', 'a', 0, 0,   0,   0};
    const auto blockAlign = static_cast<std::uint32_t>(channels_ * 2);
    PutLittleEndian(&header[4], 36 + dataBytes, 4);
    PutLittleEndian(&header[16], 16, 4);  // size of the format block
    PutLittleEndian(&header[20], 1, 2);   // PCM
    PutLittleEndian(&header[22], static_cast<std::uint32_t>(channels_), 2);
    PutLittleEndian(&header[24], static_cast<std::uint32_t>(sampleRate_), 4);
    PutLittleEndian(&header[28], static_cast<std::uint32_t>(sampleRate_) * blockAlign, 4);
    PutLittleEndian(&header[32], blockAlign, 2);
    PutLittleEndian(&header[34], 16, 2);  // bits per sample
    PutLittleEndian(&header[40], dataBytes, 4);
    return std::fwrite(header.data(), 1, header.size(), file_) == header.size();
}

bool WavWriter::Append(std::span<const std::int16_t> samples) {
    if (file_ == nullptr || failed_) {
        return false;
    }
    // Samples are written in the machine's order, which is the file's little-endian order.
    failed_ =
        std::fwrite(samples.data(), sizeof(std::int16_t), samples.size(), file_) != samples.size();
    dataBytes_ += samples.size() * sizeof(std::int16_t);
    return !failed_;
}

bool WavWriter::Finish() {
    if (file_ == nullptr) {
        return false;
    }
    // A RIFF file cannot describe more than 4 GB; the header then says as much as it can.
    const auto limit = std::numeric_limits<std::uint32_t>::max() - 36;
    const auto dataBytes = static_cast<std::uint32_t>(dataBytes_ > limit ? limit : dataBytes_);
    bool ok = !failed_ && std::fseek(file_, 0, SEEK_SET) == 0 && WriteHeader(dataBytes);
    ok = std::fclose(file_) == 0 && ok;
    file_ = nullptr;
    return ok;
}

}  // namespace tez::cli
