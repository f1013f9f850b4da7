#pragma once
// Wine prefixes laid out as winecfg lays them out, for the POSIX builds' tests
// and fuzzers, which resolve drive letters through $WINEPREFIX.

#include "support/files.h"

#include <filesystem>
#include <optional>
#include <string>

namespace vorlan::testing {

namespace fs = std::filesystem;

class ScopedEnvironment {
  public:
    ScopedEnvironment(std::string name, const std::optional<std::string> &value);
    ~ScopedEnvironment();
    ScopedEnvironment(const ScopedEnvironment &) = delete;
    ScopedEnvironment &operator=(const ScopedEnvironment &) = delete;

  private:
    void set(const std::optional<std::string> &value) const;

    std::string name_;
    std::optional<std::string> old_;
};

// `target` as the link holds it, relative to dosdevices or absolute.
void map_drive(const fs::path &prefix, char letter, const fs::path &target);
// An empty drive C mapped to prefix/drive_c.
void lay_out_wine_prefix(const fs::path &prefix);

// A prefix in a temporary folder, which $WINEPREFIX names while it lives;
// beside it, a folder under no drive.
class WinePrefix {
  public:
    explicit WinePrefix(std::string_view purpose = "test");

    fs::path prefix() const { return tree_ / "prefix"; }
    fs::path drive_c() const { return prefix() / "drive_c"; }
    fs::path dosdevices() const { return prefix() / "dosdevices"; }
    fs::path outside() const { return tree_ / "outside"; }
    const TemporaryFolder &tree() const { return tree_; }

    void map_drive(char letter, const fs::path &target) const;
    // Again, after the tree was emptied.
    void lay_out() const;

  private:
    TemporaryFolder tree_;
    ScopedEnvironment environment_;
};

} // namespace vorlan::testing
