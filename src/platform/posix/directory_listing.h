#pragma once
// One read of a directory gives everything the copy commands need from it.
// A directory may hold a great many files, so its names are kept in one
// buffer, each ended by a NUL, and everything else refers to them by where
// they begin: a name costs little more than its bytes.

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vorlan::platform::posix {

enum class EntryType : std::uint8_t { regular_file, directory, other, unknown };

// Where a name begins in a buffer of names: four bytes, for a directory
// holds far fewer than 4 GiB of names.
using NameOffset = std::uint32_t;
enum class EntryTypes { resolve, leave_unknown };

class DirectoryListing {
  public:
    struct Entry {
        NameOffset name;
        EntryType type;
    };

    // False, and nothing added, when the buffer is full.
    bool add(std::string_view name, EntryType type);
    std::string_view name(const Entry &entry) const { return names_.c_str() + entry.name; }
    // Without "." and "..", in the order read or sorted.
    const std::vector<Entry> &entries() const { return entries_; }
    // In the order cmd copies them.
    void sort_ignoring_case();

    dev_t device = 0; // of the directory itself
    ino_t inode = 0;
    int error = 0; // the errno value when the directory could not be read

  private:
    std::string names_;
    std::vector<Entry> entries_;
};

// With EntryTypes::resolve, symbolic links count as what they point to (a
// dangling one as other).
DirectoryListing list_directory(const std::filesystem::path &directory, EntryTypes types);

// The names of one directory, looked up as Windows looks them up: an
// open-addressed table of where each begins in one buffer of names.
class CaseInsensitiveNames {
  public:
    // A name that no longer fits is left out: looked up, it is absent, and
    // a copy then finds the file at its name as any run would.
    void add(std::string_view name);
    // The spelling on disk of `name`, byte-wise smallest of several; valid
    // until the next add.
    std::optional<std::string_view> find(std::string_view name) const;

  private:
    // The slot that holds `name`, or the empty one where it would go.
    std::size_t slot_for(std::string_view name) const;
    std::string_view name_in(std::size_t slot) const { return names_.c_str() + slots_[slot] - 1; }
    void grow();

    std::string names_;
    std::vector<NameOffset> slots_; // where a name begins, plus one; 0 when free
    std::size_t count_ = 0;
};

// Adds the names `directory` holds; an errno value, 0 when it could be read.
int read_names(const std::filesystem::path &directory, CaseInsensitiveNames &names);

} // namespace vorlan::platform::posix
