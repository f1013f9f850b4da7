#include "platform/posix/draft.h"

#include "platform/posix/file_copy.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <memory>

namespace vorlan::platform::posix {
namespace {

std::string temporary_name_in(const std::string &directory) {
    return joined_path(directory, new_draft_name(static_cast<std::uint64_t>(::getpid())));
}

std::string proc_path(int fd) {
    return "/proc/self/fd/" + std::to_string(fd);
}

// A file without a name can only be named again through /proc.
bool can_name_unnamed_files() {
    static const bool can = ::access("/proc/self/fd", X_OK) == 0;
    return can;
}

bool unnamed_files_unsupported(int error) {
    return error == EOPNOTSUPP || error == EISDIR || error == EINVAL || error == ENOSYS;
}

// Linking the descriptor itself spares the system a walk through /proc; a
// kernel that lets only privileged callers do it says ENOENT, and /proc
// then tells the real failure, if any.
int link_unnamed(int fd, const std::string &name) {
    if (::linkat(fd, "", AT_FDCWD, name.c_str(), AT_EMPTY_PATH) == 0) {
        return 0;
    }
    if (errno != ENOENT && errno != EPERM && errno != EINVAL) {
        return errno;
    }
    return ::linkat(AT_FDCWD, proc_path(fd).c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0
               ? 0
               : errno;
}

} // namespace

Draft::~Draft() {
    if (!name_.empty()) {
        ::unlink(name_.c_str());
    }
}

int Draft::open(const std::string &directory, unsigned mode) {
    directory_ = directory.empty() ? "." : directory;
    if (can_name_unnamed_files()) {
        fd_.reset(
            ::open(directory_.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, static_cast<mode_t>(mode)));
        // Locked only once it has a name: until then no other run can see it.
        if (fd_.is_open()) {
            return 0;
        }
        if (!unnamed_files_unsupported(errno)) {
            return errno;
        }
    }
    // Named from the start: a run clearing stale temporaries may take it
    // between its creation and our lock, so the name is checked once locked.
    for (;;) {
        std::string name = temporary_name_in(directory_);
        fd_.reset(
            ::open(name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, static_cast<mode_t>(mode)));
        if (!fd_.is_open()) {
            if (errno == EEXIST) {
                continue;
            }
            return errno;
        }
        if (const int error = lock_exclusively(fd_.get(), true)) {
            ::unlink(name.c_str());
            return error;
        }
        if (names_the_open_file(name, fd_.get())) {
            name_ = std::move(name);
            return 0;
        }
    }
}

int Draft::give_temporary_name() {
    // A run clearing stale temporaries must see it as live the moment it has a name.
    if (const int error = lock_exclusively(fd_.get(), true)) {
        return error;
    }
    for (;;) {
        std::string name = temporary_name_in(directory_);
        const int error = link_unnamed(fd_.get(), name);
        if (error == 0) {
            name_ = std::move(name);
        }
        if (error != EEXIST) {
            return error;
        }
    }
}

int Draft::publish_new(const std::string &target) {
    if (name_.empty()) {
        return link_unnamed(fd_.get(), target);
    }
    if (::renameat2(AT_FDCWD, name_.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE) != 0) {
        if (errno != EINVAL && errno != ENOSYS) {
            return errno;
        }
        // A file system that cannot refuse to replace can still link.
        if (::link(name_.c_str(), target.c_str()) != 0) {
            return errno;
        }
        ::unlink(name_.c_str());
    }
    name_.clear();
    return 0;
}

int Draft::publish_over(const std::string &target) {
    if (name_.empty()) {
        if (const int error = give_temporary_name()) {
            return error;
        }
    }
    if (::rename(name_.c_str(), target.c_str()) != 0) {
        return errno;
    }
    name_.clear();
    return 0;
}

// The lock says that a live run owns the file; it dies with the run.
int lock_exclusively(int fd, bool wait) {
    while (::flock(fd, LOCK_EX | (wait ? 0 : LOCK_NB)) != 0) {
        if (errno != EINTR) {
            return errno;
        }
    }
    return 0;
}

bool same_file(const struct stat &a, const struct stat &b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

bool names_the_open_file(const std::string &path, int fd) {
    struct stat at_name {};
    struct stat open_file {};
    return ::lstat(path.c_str(), &at_name) == 0 && ::fstat(fd, &open_file) == 0 &&
           same_file(at_name, open_file);
}

int sync_file(int fd) {
    return ::fsync(fd) == 0 ? 0 : errno;
}

int sync_directory(const std::string &directory) {
    FileDescriptor fd(
        ::open(directory.empty() ? "." : directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!fd.is_open()) {
        return errno;
    }
    // Some file systems cannot sync a directory and say so with EINVAL.
    if (::fsync(fd.get()) != 0 && errno != EINVAL) {
        return errno;
    }
    return fd.close();
}

bool remove_if_stale_draft(const std::string &directory, std::string_view name) {
    if (!is_draft_name(name)) {
        return false;
    }
    const std::string path = joined_path(directory, name);
    const FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    // Locked: a live run is filling it, or is about to rename it.
    if (fd.is_open() && lock_exclusively(fd.get(), false) == 0 &&
        names_the_open_file(path, fd.get())) {
        ::unlink(path.c_str());
    }
    return true;
}

void remove_stale_drafts(const std::string &directory) {
    struct Closer {
        void operator()(DIR *handle) const { ::closedir(handle); }
    };
    const std::unique_ptr<DIR, Closer> handle(
        ::opendir(directory.empty() ? "." : directory.c_str()));
    if (!handle) {
        return;
    }
    while (const dirent *entry = ::readdir(handle.get())) {
        remove_if_stale_draft(directory, entry->d_name);
    }
}

} // namespace vorlan::platform::posix
