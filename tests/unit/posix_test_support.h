#pragma once
// Scratch trees and a Wine prefix for the POSIX platform tests.

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

namespace vorlan::platform::posix::testing {

namespace fs = std::filesystem;

class TemporaryTree {
  public:
    TemporaryTree() {
        std::string name = (fs::temp_directory_path() / "vorlan-posix-test-XXXXXX").native();
        if (::mkdtemp(name.data()) == nullptr) {
            ADD_FAILURE() << "mkdtemp failed";
        }
        root_ = fs::canonical(name);
    }
    TemporaryTree(const TemporaryTree &) = delete;
    TemporaryTree &operator=(const TemporaryTree &) = delete;
    ~TemporaryTree() {
        std::error_code error;
        fs::remove_all(root_, error);
    }

    const fs::path &root() const { return root_; }
    fs::path operator/(const fs::path &relative) const { return root_ / relative; }

  private:
    fs::path root_;
};

class ScopedEnvironment {
  public:
    ScopedEnvironment(std::string name, const std::optional<std::string> &value)
        : name_(std::move(name)) {
        if (const char *old = std::getenv(name_.c_str())) {
            old_ = old;
        }
        set(value);
    }
    ScopedEnvironment(const ScopedEnvironment &) = delete;
    ScopedEnvironment &operator=(const ScopedEnvironment &) = delete;
    ~ScopedEnvironment() { set(old_); }

  private:
    void set(const std::optional<std::string> &value) {
        if (value) {
            ::setenv(name_.c_str(), value->c_str(), 1);
        } else {
            ::unsetenv(name_.c_str());
        }
    }

    std::string name_;
    std::optional<std::string> old_;
};

class ScopedCurrentDirectory {
  public:
    explicit ScopedCurrentDirectory(const fs::path &directory) : old_(fs::current_path()) {
        fs::current_path(directory);
    }
    ScopedCurrentDirectory(const ScopedCurrentDirectory &) = delete;
    ScopedCurrentDirectory &operator=(const ScopedCurrentDirectory &) = delete;
    ~ScopedCurrentDirectory() {
        std::error_code error;
        fs::current_path(old_, error);
    }

  private:
    fs::path old_;
};

inline void write_file(const fs::path &path, const std::string &bytes) {
    fs::create_directories(path.parent_path());
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    ASSERT_TRUE(file.good()) << path;
}

inline std::string read_file(const fs::path &path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

inline mode_t mode_bits(const fs::path &path) {
    struct stat status {};
    EXPECT_EQ(::stat(path.c_str(), &status), 0) << path;
    return status.st_mode & 07777;
}

// Every byte value, in an order that no off-by-one copy reproduces.
inline std::string binary_content(std::size_t size, unsigned seed) {
    std::string bytes(size, '\0');
    unsigned state = seed * 2654435761u + 1;
    for (char &byte : bytes) {
        state = state * 1103515245u + 12345u;
        byte = static_cast<char>(state >> 16);
    }
    return bytes;
}

// A Wine prefix in a scratch tree, with C: mapped as winecfg maps it.
class WinePrefix {
  public:
    WinePrefix() : environment_("WINEPREFIX", (tree_ / "prefix").native()) {
        fs::create_directories(drive_c());
        fs::create_directories(dosdevices());
        fs::create_directories(outside());
        fs::create_directory_symlink("../drive_c", dosdevices() / "c:");
    }

    fs::path drive_c() const { return tree_ / "prefix" / "drive_c"; }
    fs::path dosdevices() const { return tree_ / "prefix" / "dosdevices"; }
    fs::path outside() const { return tree_ / "outside"; }
    const TemporaryTree &tree() const { return tree_; }

  private:
    TemporaryTree tree_;
    ScopedEnvironment environment_;
};

} // namespace vorlan::platform::posix::testing
