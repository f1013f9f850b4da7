#pragma once
// How the copy engine names files: relative to an open directory, so that a
// copy of many files does not have the system walk the whole path for each.

#include "platform/posix/file_descriptor.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <string>
#include <string_view>
#include <utility>

namespace vorlan::platform::posix {

struct FileAt {
    int directory;                   // an open directory, or AT_FDCWD
    std::string_view directory_path; // names `directory`; unused with AT_FDCWD
    std::string name;                // the whole path with AT_FDCWD

    static FileAt by_whole_path(std::string path) { return {AT_FDCWD, {}, std::move(path)}; }
    std::string whole_path() const;
    // The directory the file lies in, as a path ("" for the current one).
    std::string directory_of() const;
};

// An open directory to name files in; the whole path serves when it cannot
// be opened.
class DirectoryHandle {
  public:
    explicit DirectoryHandle(const std::string &path);

    // `name` in this directory, by its whole path when the directory could
    // not be opened, so that the copy reports what the path would.
    FileAt file(std::string_view name) const;

  private:
    FileDescriptor fd_;
    std::string path_;
};

// `directory` / `name`, as std::filesystem::path would join them.
std::string joined_path(std::string_view directory, std::string_view name);

// What tells one file from every other: its device and inode.
using FileIdentity = std::pair<dev_t, ino_t>;
inline FileIdentity identity_of(const struct stat &status) {
    return {status.st_dev, status.st_ino};
}
inline bool same_file(const struct stat &a, const struct stat &b) {
    return identity_of(a) == identity_of(b);
}

} // namespace vorlan::platform::posix
