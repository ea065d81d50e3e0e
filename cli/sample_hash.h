// SHA-256 of rendered samples as 16-bit little-endian PCM, the bytes `sox OUT -t raw -`
// gives back, so a score's sound can be regression-tested by one line.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>

namespace tez::cli {

class SampleHash {
  public:
    SampleHash();
    ~SampleHash();
    SampleHash(const SampleHash&) = delete;
    SampleHash& operator=(const SampleHash&) = delete;

    void Add(std::span<const std::int16_t> samples);
    // Lower-case hex; ends the hash.
    std::string Hex();

  private:
    struct Context;
    std::unique_ptr<Context> context_;
};

}  // namespace tez::cli
