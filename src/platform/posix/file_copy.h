#pragma once
// Copying one file, byte for byte, the way the copy commands need it: a new
// file is simply written, an existing one is replaced atomically and durably.

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

// Puts the bytes of the regular file `source` at `target`. A target that
// exists (found through any chain of symbolic links, which stay as they are)
// and already holds those bytes is left as it is; otherwise it is replaced by
// renaming a synced temporary copy over it, with its own permission bits,
// unless it lacks the owner-write bit: then it is read-only and left alone.
// `target_known_absent` spares the lookup when the caller has just seen the
// directory without it; it is checked all the same.
// The paths are host paths, as strings: a copy of many small files should
// not pay for std::filesystem::path's parsing of each.
CopyFailure copy_file_to(const std::string &source, const std::string &target,
                         bool target_known_absent);

// A file named relative to an open directory, so that a copy of many files
// does not have the system walk the whole path for each; `directory_path`
// names that directory for the rare case that needs a whole path.
struct FileAt {
    int directory;                   // an open directory, or AT_FDCWD
    std::string_view directory_path; // unused with AT_FDCWD
    std::string name;                // the whole path with AT_FDCWD

    std::string whole_path() const;
};

CopyFailure copy_file_to(const FileAt &source, const FileAt &target, bool target_known_absent);

class ReplaceBatch;

// The same, but a replacement waits in `batch` until the batch is published:
// the target keeps its old bytes until then.
CopyFailure copy_file_to(const FileAt &source, const FileAt &target, bool target_known_absent,
                         ReplaceBatch &batch);

struct CopySource {
    FileDescriptor fd{-1};
    struct stat status {};
};

// Named in the caller's open directory until a symbolic link is followed,
// by its whole path after.
struct FinalTarget {
    FileAt at{AT_FDCWD, {}, {}};
    bool exists = false;
    struct stat status {};
};

// One copy in three steps, so that its reading and writing can go on beside
// the next copies' lookups. Between the steps nothing else is done to the
// file system that could change what the lookup found.
class PendingCopy {
  public:
    // Opens the source and finds the final target. Onto a target the caller
    // has just seen absent (`create`), the new file is made here, in the
    // order of the copies, and filled by run_ahead().
    PendingCopy(const FileAt &source, const FileAt &target, bool create);

    // Reads the target to compare, or fills the new file: touches nothing
    // but this copy's files, so it may run on another thread, which then has
    // the copy to itself until it is done.
    void run_ahead();
    // Copies, unless run_ahead() did or found the bytes in place; a
    // replacement waits in `batch`.
    CopyFailure finish(ReplaceBatch &batch);
    // Instead of finish(): the file it created goes again.
    void discard();

    // Seen absent but there all the same: nothing was done, and the copy is
    // to be made again without `create`.
    bool found_target() const { return failure_ == CopyFailure::already_exists; }
    // A failure that run_ahead() cannot change.
    bool failed() const { return failure_ != CopyFailure::none; }
    // After finish(): it made a file that the lookups since could not see.
    bool created_on_finish() const { return created_on_finish_; }

    const FileAt &source() const { return source_; }
    const FileAt &target() const { return target_; }

  private:
    FileAt source_;
    FileAt target_;
    CopySource opened_;
    FinalTarget final_;
    FileDescriptor created_{-1}; // the new file, until run_ahead() fills it
    bool creates_ = false;
    int fill_error_ = 0;
    CopyFailure failure_ = CopyFailure::none;
    bool worth_comparing_ = false;
    bool same_bytes_ = false;
    bool created_on_finish_ = false;
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

} // namespace vorlan::platform::posix
