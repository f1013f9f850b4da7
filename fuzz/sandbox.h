#pragma once
// A scratch folder for a fuzzer's whole life, with a Wine prefix in it and
// made the current directory, so that every path a fuzzed input names is
// resolved inside it. A broken property aborts, which libFuzzer reports.

#include <stdlib.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>

namespace vorlan::fuzz {

namespace fs = std::filesystem;

[[noreturn]] inline void broken(const std::string &property) {
    std::fprintf(stderr, "broken: %s\n", property.c_str());
    std::fflush(stderr);
    std::abort();
}

inline void check(bool holds, const std::string &property) {
    if (!holds) {
        broken(property);
    }
}

inline void put(const fs::path &path, std::string_view bytes) {
    if (path.has_parent_path()) {
        fs::create_directories(path.parent_path());
    }
    std::ofstream(path, std::ios::binary | std::ios::trunc)
        .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

inline std::string get(const fs::path &path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class Sandbox {
  public:
    Sandbox() {
        std::string name = (fs::temp_directory_path() / "vorlan-fuzz-XXXXXX").native();
        if (::mkdtemp(name.data()) == nullptr) {
            broken("a scratch folder can be made");
        }
        root_ = fs::canonical(name);
        fs::create_directories(dosdevices());
        ::setenv("WINEPREFIX", prefix().c_str(), 1);
    }
    ~Sandbox() {
        std::error_code ignored;
        fs::current_path(fs::temp_directory_path(), ignored);
        fs::remove_all(root_, ignored);
    }
    Sandbox(const Sandbox &) = delete;
    Sandbox &operator=(const Sandbox &) = delete;

    const fs::path &root() const { return root_; }
    fs::path prefix() const { return root_ / "prefix"; }
    fs::path dosdevices() const { return prefix() / "dosdevices"; }

    // `target` as the link holds it, relative to dosdevices or absolute.
    void map_drive(char letter, const fs::path &target) const {
        fs::create_directory_symlink(target, dosdevices() / (std::string(1, letter) + ":"));
    }

  private:
    fs::path root_;
};

} // namespace vorlan::fuzz
