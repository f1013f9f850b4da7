#pragma once
// Copying one file, byte for byte, the way the copy commands need it: the
// file reaches its name whole and synced, whether it is new or replaces one.

#include "platform/posix/file_descriptor.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>
#include <string_view>

namespace vorlan::platform::posix {

enum class CopyFailure {
    none,
    onto_itself,
    access_denied,
    file_not_found,
    path_not_found,
    already_exists,
    disk_full,
    name_too_long,
    device_error,
};

// The line cmd would print for it.
std::string_view complaint_for(CopyFailure failure);
CopyFailure failure_from_errno(int error);

// A file named relative to an open directory, so that a copy of many files
// does not have the system walk the whole path for each; `directory_path`
// names that directory for the rare case that needs a whole path.
struct FileAt {
    int directory;                   // an open directory, or AT_FDCWD
    std::string_view directory_path; // unused with AT_FDCWD
    std::string name;                // the whole path with AT_FDCWD

    std::string whole_path() const;
};

class ReplaceBatch;

// Puts the bytes of the regular file `source` at `target`. A target that
// exists (found through any chain of symbolic links, which stay as they are)
// and already holds those bytes is left as it is; one that lacks the
// owner-write bit is read-only and left alone. Otherwise the bytes are filled
// into a draft beside the target, which waits in `batch`: until the batch is
// published the target keeps what it had, and then it holds the whole new
// file, synced. A new file takes the source's permission bits, a replacement
// the target's. `target_known_absent` spares the lookup when the caller has
// just seen the directory without it; the batch then finds out if the name
// was taken meanwhile.
CopyFailure copy_file_to(const FileAt &source, const FileAt &target, bool target_known_absent,
                         ReplaceBatch &batch);

// The same, published at once. The paths are host paths, as strings: a copy
// of many small files should not pay for std::filesystem::path's parsing of
// each.
CopyFailure copy_file_to(const FileAt &source, const FileAt &target, bool target_known_absent);
CopyFailure copy_file_to(const std::string &source, const std::string &target,
                         bool target_known_absent);

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

} // namespace vorlan::platform::posix
