#pragma once
// The one way a file of ours reaches its name on POSIX: its bytes are filled
// where nobody sees them, synced, and then given the name in one step; the
// directory is synced after. A run killed at any moment leaves the old file
// or the new one, never part of either, and no temporary that a later run
// does not clear.

#include "platform/draft_name.h"
#include "platform/posix/file_descriptor.h"

#include <sys/stat.h>

#include <string>
#include <string_view>

namespace vorlan::platform::posix {

class Draft {
  public:
    Draft() = default;
    Draft(const Draft &) = delete;
    Draft &operator=(const Draft &) = delete;
    ~Draft(); // a draft never published leaves nothing

    // Opens a new draft in `directory` ("" is the current one) with the
    // permission bits `mode` (less the umask); an errno value, 0 when open.
    int open(const std::string &directory, unsigned mode);
    int fd() const { return fd_.get(); }

    // The draft takes the name `target`, which must lie in its directory.
    // publish_new fails with EEXIST where a name stands; publish_over
    // replaces what stands there. Neither syncs: sync the bytes first, and
    // the directory after.
    int publish_new(const std::string &target);
    int publish_over(const std::string &target);

  private:
    int give_temporary_name();

    FileDescriptor fd_{-1};
    std::string directory_;
    std::string name_; // its temporary name, empty while it has none
};

int sync_file(int fd);
// An errno value; with `wait` false, EWOULDBLOCK while another holds it.
int lock_exclusively(int fd, bool wait);
// True when both are one file: the same device and inode.
bool same_file(const struct stat &a, const struct stat &b);
// True when the path names the file open as `fd`, not some other.
bool names_the_open_file(const std::string &path, int fd);
int sync_directory(const std::string &directory);

// Removes `name` from `directory` when it is a temporary of ours that no
// live run holds; true when it was one of ours, removed or not, so that a
// listing can leave it out.
bool remove_if_stale_draft(const std::string &directory, std::string_view name);

// The same for every entry of the directory.
void remove_stale_drafts(const std::string &directory);

} // namespace vorlan::platform::posix
