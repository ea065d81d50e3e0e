// Runs a test inside a fresh temporary folder, since the program reads and writes
// "tez_p.smf" in the current directory.
#pragma once

#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <string_view>

namespace tez::apptest {

class ScratchDir {
  public:
    ScratchDir() : previous_(std::filesystem::current_path()) {
        std::random_device seed;
        path_ = std::filesystem::temp_directory_path() /
                ("tezplayer-test-" + std::to_string(seed()) + std::to_string(seed()));
        std::filesystem::create_directories(path_);
        std::filesystem::current_path(path_);
    }
    ~ScratchDir() {
        std::filesystem::current_path(previous_);
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    const std::filesystem::path& Path() const { return path_; }
    // Writes `bytes` to `name` inside the folder and returns the file's full path.
    std::string Write(const std::string& name, std::string_view bytes) const {
        const std::filesystem::path file = path_ / name;
        std::ofstream(file, std::ios::binary).write(bytes.data(), bytes.size());
        return file.string();
    }

  private:
    std::filesystem::path previous_;
    std::filesystem::path path_;
};

inline std::string ReadFileBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

}  // namespace tez::apptest
