#include "platform/posix/cmd/file_copy.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <string>
#include <system_error>

namespace vorlan::platform::posix {
namespace {

namespace fs = std::filesystem;

// Linux gives up on a chain longer than this too.
constexpr int max_link_hops = 40;
constexpr std::size_t copy_chunk = std::size_t{1} << 30;
constexpr std::size_t most_read_at_once = std::size_t{1} << 17;
constexpr std::size_t most_compared_at_once = std::size_t{1} << 18;

struct CopySource {
    FileDescriptor fd{-1};
    struct stat status {};
};

// Named in the caller's open directory until a symbolic link is followed,
// by its whole path after.
struct FinalTarget {
    FileAt at = FileAt::by_whole_path({});
    bool exists = false;
    struct stat status {};
};

// What copy_file_range answers, before it has moved a byte, for a pair of
// files it will not take: another file system, or a file system, sandbox or
// kernel that does not offer it. Reading and writing then do the same work.
bool refused_before_any_byte(int error) {
    switch (error) {
    case EXDEV:
    case EOPNOTSUPP:
    case ENOSYS:
    case EINVAL:
    case EPERM:
    case EBADF:
    case ETXTBSY:
        return true;
    default:
        return false;
    }
}

int write_all(int out, const char *data, std::size_t size) {
    while (size > 0) {
        const ssize_t written = ::write(out, data, size);
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            return written < 0 ? errno : EIO;
        }
        data += written;
        size -= static_cast<std::size_t>(written);
    }
    return 0;
}

// Reads until `size` bytes are in or the file ends: how many came.
ssize_t read_fully(int fd, char *data, std::size_t size, off64_t offset) {
    std::size_t got = 0;
    while (got < size) {
        const ssize_t part =
            ::pread(fd, data + got, size - got, offset + static_cast<off64_t>(got));
        if (part < 0 && errno == EINTR) {
            continue;
        }
        if (part < 0) {
            return -1;
        }
        if (part == 0) {
            break;
        }
        got += static_cast<std::size_t>(part);
    }
    return static_cast<ssize_t>(got);
}

// A buffer for the part of a file of `size` bytes from `offset` on, at most
// `most`; a file that claims to hold nothing more may hold anything. Not
// zero-filled: what is read overwrites it.
std::size_t buffer_size(off64_t size, off64_t offset, std::size_t most) {
    return size > offset ? static_cast<std::size_t>(std::min<off64_t>(size - offset, most)) : most;
}

int copy_by_reading(int in, off64_t offset, off64_t size, int out) {
    const std::size_t capacity = buffer_size(size, offset, most_read_at_once);
    const auto buffer = std::make_unique_for_overwrite<char[]>(capacity);
    for (;;) {
        const ssize_t got = read_fully(in, buffer.get(), capacity, offset);
        if (got <= 0) {
            return got < 0 ? errno : 0;
        }
        if (const int error = write_all(out, buffer.get(), static_cast<std::size_t>(got))) {
            return error;
        }
        offset += got;
    }
}

// Lets the kernel move the bytes where it can; reading does the job where it
// will not, or finishes it where the source ended early. Once bytes have
// moved, a refusal is a failure like any other. The size the source had
// when it was opened ends the copy without one more call to learn that
// nothing follows; a file that claims to be empty (as /proc files do,
// whatever they hold) is read to its end.
int copy_bytes(int in, off64_t size, int out) {
    off64_t offset = 0;
    while (offset < size) {
        const auto wanted = static_cast<std::size_t>(std::min<off64_t>(size - offset, copy_chunk));
        const ssize_t moved = ::copy_file_range(in, &offset, out, nullptr, wanted, 0);
        if (moved > 0 || (moved < 0 && errno == EINTR)) {
            continue;
        }
        if (moved == 0 || (offset == 0 && refused_before_any_byte(errno))) {
            break;
        }
        return errno;
    }
    if (size > 0 && offset == size) {
        return 0;
    }
    return copy_by_reading(in, offset, size, out);
}

void keep_modification_time(int fd, const struct stat &source) {
    const timespec times[2] = {{0, UTIME_OMIT}, source.st_mtim};
    // Only a nicety, as Windows keeps it; the copy is good without it.
    static_cast<void>(::futimens(fd, times));
}

// Reading to compare or copy is no use of the file that its access time
// should record, and recording it would dirty every inode a re-run reads.
// Only the file's owner may ask for that.
int open_for_reading(const FileAt &file, int flags) {
    const int fd = ::openat(file.directory, file.name.c_str(), flags | O_RDONLY | O_NOATIME);
    if (fd >= 0 || errno != EPERM) {
        return fd;
    }
    return ::openat(file.directory, file.name.c_str(), flags | O_RDONLY);
}

CmdError open_failure(int error) {
    return error == ENOENT ? CmdError::file_not_found : cmd_error_from_errno(error);
}

CmdError open_source(const FileAt &file, CopySource &source) {
    source.fd.reset(open_for_reading(file, O_CLOEXEC));
    if (!source.fd.is_open()) {
        return open_failure(errno);
    }
    if (::fstat(source.fd.get(), &source.status) != 0) {
        return cmd_error_from_errno(errno);
    }
    return S_ISREG(source.status.st_mode) ? CmdError::none : CmdError::access_denied;
}

CmdError find_final_target(const FileAt &target, FinalTarget &final) {
    final.at = target;
    for (int hops = 0;; ++hops) {
        if (::fstatat(final.at.directory, final.at.name.c_str(), &final.status,
                      AT_SYMLINK_NOFOLLOW) != 0) {
            final.exists = false;
            return errno == ENOENT ? CmdError::none : cmd_error_from_errno(errno);
        }
        final.exists = true;
        if (!S_ISLNK(final.status.st_mode)) {
            return CmdError::none;
        }
        if (hops == max_link_hops) {
            return cmd_error_from_errno(ELOOP);
        }
        const fs::path path = final.at.whole_path();
        std::error_code error;
        const fs::path link = fs::read_symlink(path, error);
        if (error) {
            return cmd_error_from_errno(error.value());
        }
        final.at =
            FileAt::by_whole_path((link.is_absolute() ? link : path.parent_path() / link).native());
    }
}

int fill_draft(int fd, const CopySource &source) {
    if (const int error = copy_bytes(source.fd.get(), source.status.st_size, fd)) {
        return error;
    }
    keep_modification_time(fd, source.status);
    return 0;
}

// The replacement keeps the target's owner where we may set it. Only root can
// give a file away; anyone else ends up owning it, as with any new file.
bool take_over_ownership(int fd, const struct stat &target) {
    const bool ours = target.st_uid == ::geteuid() && target.st_gid == ::getegid();
    return ours || ::fchown(fd, target.st_uid, target.st_gid) == 0;
}

// The bytes go into a draft beside the target, which waits in the batch: the
// name, when the batch is published, is the single moment the content
// changes. A new file takes the source's permission bits, a replacement the
// target's and, where we may, its owner.
CmdError copy_into_draft(const CopySource &source, const FinalTarget &final, PublishBatch &batch) {
    std::string directory = final.at.directory_of();
    const unsigned mode = final.exists ? 0600 : source.status.st_mode & 0777;
    PublishBatch::MadeDraft made = batch.make_draft(directory, mode);
    if (made.error != 0) {
        return cmd_error_from_errno(made.error);
    }
    const int fd = made.draft->fd();
    if (final.exists) {
        take_over_ownership(fd, final.status);
        if (::fchmod(fd, final.status.st_mode & 07777) != 0) {
            return cmd_error_from_errno(errno);
        }
    }
    if (const int error = fill_draft(fd, source)) {
        return cmd_error_from_errno(error);
    }
    // Started now, so that the batch's sync finds most of it written. Not
    // for new files: a first installation's many small ones are written
    // faster together, by the batch's sync.
    if (final.exists) {
        static_cast<void>(::sync_file_range(fd, 0, 0, SYNC_FILE_RANGE_WRITE));
    }
    batch.add({.draft = std::move(made.draft),
               .target = final.at.whole_path(),
               .directory = std::move(directory),
               .mode = final.exists ? PublishMode::replace : PublishMode::create_new,
               .replaced = final.exists ? std::optional(identity_of(final.status)) : std::nullopt,
               .bytes = source.status.st_size});
    return CmdError::none;
}

// Worth reading both to compare: a regular file of the same size. A file
// that claims to be empty may not be, and is read to its end.
bool may_hold_same_bytes(const CopySource &source, const FinalTarget &final) {
    const off64_t size = source.status.st_size;
    return S_ISREG(final.status.st_mode) && (size == 0 || final.status.st_size == size);
}

// Compared byte for byte, not by size and time: a copy left out is certainly
// what it would have written. Both sizes are known and equal, so reading
// stops there, without a call to see the end.
bool holds_same_bytes(const CopySource &source, int target) {
    const off64_t size = source.status.st_size;
    const std::size_t capacity = buffer_size(size, 0, most_compared_at_once);
    const auto ours = std::make_unique_for_overwrite<char[]>(capacity);
    const auto theirs = std::make_unique_for_overwrite<char[]>(capacity);
    // Small at first: a file that changed mostly differs early.
    off64_t offset = 0;
    for (std::size_t chunk = std::min(first_compared_bytes, capacity);;
         chunk = std::min(chunk * 2, capacity)) {
        const std::size_t wanted =
            size == 0 ? chunk : static_cast<std::size_t>(std::min<off64_t>(chunk, size - offset));
        const ssize_t source_part = read_fully(source.fd.get(), ours.get(), wanted, offset);
        const ssize_t target_part = read_fully(target, theirs.get(), wanted, offset);
        if (source_part < 0 || source_part != target_part ||
            std::memcmp(ours.get(), theirs.get(), static_cast<std::size_t>(source_part)) != 0) {
            return false;
        }
        offset += source_part;
        if (size != 0 && offset == size) {
            return true;
        }
        if (static_cast<std::size_t>(source_part) < wanted) {
            return size == 0; // the end of a file that claimed to be empty, or one cut short
        }
    }
}

bool target_holds_source(const CopySource &source, const FinalTarget &final) {
    const FileDescriptor target(open_for_reading(final.at, O_NOFOLLOW | O_CLOEXEC));
    return target.is_open() && holds_same_bytes(source, target.get());
}

} // namespace

CmdError copy_file_to(const FileAt &source, const FileAt &target, TargetLookup lookup,
                      PublishBatch &batch) {
    CopySource opened;
    if (const CmdError error = open_source(source, opened); error != CmdError::none) {
        return error;
    }
    FinalTarget final;
    if (lookup == TargetLookup::known_absent) {
        final.at = target;
    } else if (const CmdError error = find_final_target(target, final); error != CmdError::none) {
        return error;
    }
    if (!final.exists) {
        return copy_into_draft(opened, final, batch);
    }
    if (same_file(opened.status, final.status)) {
        return CmdError::onto_itself;
    }
    // A file that waits in the batch will hold other bytes than it does now.
    if (!batch.replaces(identity_of(final.status)) && may_hold_same_bytes(opened, final) &&
        target_holds_source(opened, final)) {
        return CmdError::none;
    }
    // Checked on the mode bits: root passes every access() test.
    if (!S_ISREG(final.status.st_mode) || (final.status.st_mode & S_IWUSR) == 0) {
        return CmdError::access_denied;
    }
    return copy_into_draft(opened, final, batch);
}

} // namespace vorlan::platform::posix
