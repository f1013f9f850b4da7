#pragma once
// A temporary directory made current for one test, so that the paths a test
// hands to the installer's code are plain relative names on every platform.

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <string_view>

namespace vorlan::testing {

class ScratchDir {
  public:
    ScratchDir() {
        static int counter = 0;
        const auto base = std::filesystem::temp_directory_path();
        path_ = base / ("vorlan-unit-" + std::to_string(reinterpret_cast<std::uintptr_t>(this)) +
                        "-" + std::to_string(++counter));
        std::filesystem::create_directories(path_);
        previous_ = std::filesystem::current_path();
        std::filesystem::current_path(path_);
    }
    ~ScratchDir() {
        std::filesystem::current_path(previous_);
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    ScratchDir(const ScratchDir &) = delete;
    ScratchDir &operator=(const ScratchDir &) = delete;

    const std::filesystem::path &path() const { return path_; }

  private:
    std::filesystem::path path_;
    std::filesystem::path previous_;
};

inline void put(const std::filesystem::path &path, std::string_view content) {
    if (path.has_parent_path()) {
        std::filesystem::create_directories(path.parent_path());
    }
    std::ofstream(path, std::ios::binary) << content;
}

inline std::string get(const std::filesystem::path &path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

} // namespace vorlan::testing
