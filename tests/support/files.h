#pragma once
// Scratch folders and whole files for tests and fuzzers on every platform.
// Setting up a test throws where it fails, which both report.

#include <cstddef>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <string_view>

namespace vorlan::testing {

namespace fs = std::filesystem;

// A new folder under the system's temporary one (or `base`), removed with
// everything in it at the end. Its path is canonical, so tests may compare
// resolved paths.
class TemporaryFolder {
  public:
    explicit TemporaryFolder(std::string_view purpose = "test", const fs::path &base = {});
    ~TemporaryFolder();
    TemporaryFolder(const TemporaryFolder &) = delete;
    TemporaryFolder &operator=(const TemporaryFolder &) = delete;

    const fs::path &root() const { return root_; }
    fs::path operator/(const fs::path &relative) const { return root_ / relative; }

  private:
    fs::path root_;
};

class ScopedCurrentDirectory {
  public:
    explicit ScopedCurrentDirectory(const fs::path &directory);
    ~ScopedCurrentDirectory();
    ScopedCurrentDirectory(const ScopedCurrentDirectory &) = delete;
    ScopedCurrentDirectory &operator=(const ScopedCurrentDirectory &) = delete;

  private:
    fs::path old_;
};

// A temporary folder made current for one test, so that the paths a test
// hands to the installer's code are plain relative names on every platform.
class ScratchDir {
  public:
    const fs::path &path() const { return folder_.root(); }

  private:
    TemporaryFolder folder_;
    ScopedCurrentDirectory current_{folder_.root()};
};

// Makes the missing folders on the way.
void write_file(const fs::path &path, std::string_view bytes);
std::string read_file(const fs::path &path);

// Every regular file below the directory, links followed, by relative path
// with '/' separators, with its content; the entries named in `skipped` at
// the directory's top level are left out.
using Files = std::map<std::string, std::string>;
Files files_below(const fs::path &dir, const std::set<std::string> &skipped = {});
// The same as one text, a line per file.
std::string describe_tree(const fs::path &dir, const std::set<std::string> &skipped = {});

unsigned mode_bits(const fs::path &path);

// Every byte value, in an order that no off-by-one copy reproduces.
std::string binary_content(std::size_t size, unsigned seed);

} // namespace vorlan::testing
