#pragma once
// One read of a directory gives everything the copy commands need from it.

#include <sys/types.h>

#include <filesystem>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace vorlan::platform::posix {

enum class EntryType { regular_file, directory, other, unknown };

struct DirectoryEntry {
    std::string name;
    EntryType type = EntryType::unknown;
};

struct DirectoryListing {
    std::vector<DirectoryEntry> entries; // without "." and ".."
    dev_t device = 0;                    // of the directory itself
    ino_t inode = 0;
    int error = 0; // the errno value when the directory could not be read
};

enum class EntryTypes { resolve, leave_unknown };

// With EntryTypes::resolve, symbolic links count as what they point to (a
// dangling one as other).
DirectoryListing list_directory(const std::filesystem::path &directory, EntryTypes types);

void sort_ignoring_case(std::vector<DirectoryEntry> &entries);

// The names of one directory, looked up as Windows looks them up.
class CaseInsensitiveNames {
  public:
    void add(std::string_view name);
    // The spelling on disk of `name`, byte-wise smallest of several.
    const std::string *find(std::string_view name) const;

  private:
    std::unordered_map<std::string, std::string> by_lowered_;
};

// Adds the names `directory` holds; an errno value, 0 when it could be read.
int read_names(const std::filesystem::path &directory, CaseInsensitiveNames &names);

} // namespace vorlan::platform::posix
