#include "sample_hash.h"

#include <openssl/evp.h>

#include <bit>
#include <cstdio>
#include <new>

namespace tez::cli {

static_assert(std::endian::native == std::endian::little,
              "samples are hashed as little-endian bytes as they lie in memory");

struct SampleHash::Context {
    EVP_MD_CTX* digest = EVP_MD_CTX_new();
    ~Context() { EVP_MD_CTX_free(digest); }
};

SampleHash::SampleHash() : context_(std::make_unique<Context>()) {
    if (context_->digest == nullptr ||
        EVP_DigestInit_ex(context_->digest, EVP_sha256(), nullptr) != 1)
        throw std::bad_alloc();
}

SampleHash::~SampleHash() = default;

void SampleHash::Add(std::span<const std::int16_t> samples) {
    EVP_DigestUpdate(context_->digest, samples.data(), samples.size_bytes());
}

std::string SampleHash::Hex() {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int size = 0;
    EVP_DigestFinal_ex(context_->digest, digest, &size);
    std::string hex;
    for (unsigned int i = 0; i < size; ++i) {
        char pair[3];
        std::snprintf(pair, sizeof pair, "%02x", digest[i]);
        hex += pair;
    }
    return hex;
}

}  // namespace tez::cli
