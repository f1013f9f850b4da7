#include "platform/posix/file_copy.h"

#include "platform/posix/draft.h"
#include "platform/posix/replace_batch.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <string>
#include <system_error>
#include <vector>

namespace vorlan::platform::posix {
namespace {

namespace fs = std::filesystem;

// Linux gives up on a chain longer than this too.
constexpr int max_link_hops = 40;
constexpr std::size_t copy_chunk = std::size_t{1} << 30;

bool can_fall_back_to_reading(int error) {
    return error == EXDEV || error == EINVAL || error == ENOSYS || error == EOPNOTSUPP;
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

int copy_by_reading(int in, off64_t offset, int out) {
    static std::vector<char> buffer(std::size_t{1} << 17);
    for (;;) {
        const ssize_t got = read_fully(in, buffer.data(), buffer.size(), offset);
        if (got <= 0) {
            return got < 0 ? errno : 0;
        }
        if (const int error = write_all(out, buffer.data(), static_cast<std::size_t>(got))) {
            return error;
        }
        offset += got;
    }
}

// Lets the kernel move the bytes where it can; reading finishes the job where
// it cannot. The size the source had when it was opened ends the copy without
// one more call to learn that nothing follows; a file that claims to be empty
// (as /proc files do, whatever they hold) is read to its end.
int copy_bytes(int in, off64_t size, int out) {
    off64_t offset = 0;
    while (offset < size) {
        const auto wanted = static_cast<std::size_t>(std::min<off64_t>(size - offset, copy_chunk));
        const ssize_t moved = ::copy_file_range(in, &offset, out, nullptr, wanted, 0);
        if (moved > 0) {
            continue;
        }
        if (moved == 0 || can_fall_back_to_reading(errno)) {
            break;
        }
        if (errno != EINTR) {
            return errno;
        }
    }
    if (size > 0 && offset == size) {
        return 0;
    }
    return copy_by_reading(in, offset, out);
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

CopyFailure open_failure(int error) {
    return error == ENOENT ? CopyFailure::file_not_found : failure_from_errno(error);
}

CopyFailure open_source(const FileAt &file, CopySource &source) {
    source.fd.reset(open_for_reading(file, O_CLOEXEC));
    if (!source.fd.is_open()) {
        return open_failure(errno);
    }
    if (::fstat(source.fd.get(), &source.status) != 0) {
        return failure_from_errno(errno);
    }
    return S_ISREG(source.status.st_mode) ? CopyFailure::none : CopyFailure::access_denied;
}

// Exclusive: a file that appeared meanwhile is not written over.
int create_new(const CopySource &source, const FileAt &target, FileDescriptor &out) {
    out.reset(::openat(target.directory, target.name.c_str(),
                       O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, source.status.st_mode & 0777));
    return out.is_open() ? 0 : errno;
}

int fill_new(const CopySource &source, FileDescriptor &out) {
    const int error = copy_bytes(source.fd.get(), source.status.st_size, out.get());
    if (error == 0) {
        keep_modification_time(out.get(), source.status);
    }
    const int closed = out.close();
    return error != 0 ? error : closed;
}

void remove_new(const FileAt &target) {
    ::unlinkat(target.directory, target.name.c_str(), 0);
}

CopyFailure create_copy(const CopySource &source, const FileAt &target) {
    FileDescriptor out(-1);
    if (const int error = create_new(source, target, out)) {
        return failure_from_errno(error);
    }
    if (const int error = fill_new(source, out)) {
        remove_new(target);
        return failure_from_errno(error);
    }
    return CopyFailure::none;
}

CopyFailure find_final_target(const FileAt &target, FinalTarget &final) {
    final.at = target;
    for (int hops = 0;; ++hops) {
        if (::fstatat(final.at.directory, final.at.name.c_str(), &final.status,
                      AT_SYMLINK_NOFOLLOW) != 0) {
            final.exists = false;
            return errno == ENOENT ? CopyFailure::none : failure_from_errno(errno);
        }
        final.exists = true;
        if (!S_ISLNK(final.status.st_mode)) {
            return CopyFailure::none;
        }
        if (hops == max_link_hops) {
            return failure_from_errno(ELOOP);
        }
        const fs::path path = final.at.whole_path();
        std::error_code error;
        const fs::path link = fs::read_symlink(path, error);
        if (error) {
            return failure_from_errno(error.value());
        }
        final.at = {AT_FDCWD, {}, (link.is_absolute() ? link : path.parent_path() / link).native()};
    }
}

// The replacement keeps the target's owner where we may set it. Only root can
// give a file away; anyone else ends up owning it, as with any new file.
bool take_over_ownership(int fd, const struct stat &target) {
    const bool ours = target.st_uid == ::geteuid() && target.st_gid == ::getegid();
    return ours || ::fchown(fd, target.st_uid, target.st_gid) == 0;
}

int fill_replacement(int fd, const CopySource &source, const struct stat &target) {
    if (const int error = copy_bytes(source.fd.get(), source.status.st_size, fd)) {
        return error;
    }
    take_over_ownership(fd, target);
    if (::fchmod(fd, target.st_mode & 07777) != 0) {
        return errno;
    }
    keep_modification_time(fd, source.status);
    // Started now, so that the batch's sync finds most of it written.
    static_cast<void>(::sync_file_range(fd, 0, 0, SYNC_FILE_RANGE_WRITE));
    return 0;
}

std::pair<dev_t, ino_t> identity_of(const struct stat &status) {
    return {status.st_dev, status.st_ino};
}

// The rename, when the batch is published, is the single moment the content
// changes: before it the old bytes are there, after it the new ones, synced.
CopyFailure replace_atomically(const CopySource &source, const FinalTarget &final,
                               ReplaceBatch &batch) {
    std::string path = final.at.whole_path();
    std::string directory = fs::path(path).parent_path().native();
    auto draft = std::make_unique<Draft>();
    if (const int error = draft->open(directory, 0600)) {
        return failure_from_errno(error);
    }
    if (const int error = fill_replacement(draft->fd(), source, final.status)) {
        return failure_from_errno(error);
    }
    batch.add(std::move(draft), std::move(path), std::move(directory), identity_of(final.status),
              source.status.st_size);
    return CopyFailure::none;
}

// Worth reading both to compare: a regular file of the same size. A file
// that claims to be empty may not be, and is read to its end.
bool may_hold_same_bytes(const CopySource &source, const FinalTarget &final) {
    const off64_t size = source.status.st_size;
    return S_ISREG(final.status.st_mode) && (size == 0 || final.status.st_size == size);
}

// Compared byte for byte, not by size and time: a copy left out is certainly
// what it would have written. Both sizes are known and equal, so reading
// stops there, without a call to see the end. Each thread that compares has
// its own buffers.
bool holds_same_bytes(const CopySource &source, int target) {
    const off64_t size = source.status.st_size;
    thread_local std::vector<char> ours(std::size_t{1} << 18);
    thread_local std::vector<char> theirs(ours.size());
    // Small at first: a file that changed mostly differs early.
    off64_t offset = 0;
    for (std::size_t chunk = std::size_t{1} << 16;; chunk = std::min(chunk * 2, ours.size())) {
        const std::size_t wanted =
            size == 0 ? chunk : static_cast<std::size_t>(std::min<off64_t>(chunk, size - offset));
        const ssize_t source_part = read_fully(source.fd.get(), ours.data(), wanted, offset);
        const ssize_t target_part = read_fully(target, theirs.data(), wanted, offset);
        if (source_part < 0 || source_part != target_part ||
            std::memcmp(ours.data(), theirs.data(), static_cast<std::size_t>(source_part)) != 0) {
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

bool same_file(const struct stat &a, const struct stat &b) {
    return identity_of(a) == identity_of(b);
}

} // namespace

std::string_view complaint_for(CopyFailure failure) {
    switch (failure) {
    case CopyFailure::none:
        break;
    case CopyFailure::onto_itself:
        return "The file cannot be copied onto itself.";
    case CopyFailure::access_denied:
        return "Access is denied.";
    case CopyFailure::file_not_found:
        return "The system cannot find the file specified.";
    case CopyFailure::path_not_found:
        return "The system cannot find the path specified.";
    case CopyFailure::already_exists:
        return "Cannot create a file when that file already exists.";
    case CopyFailure::disk_full:
        return "There is not enough space on the disk.";
    case CopyFailure::name_too_long:
        return "The filename or extension is too long.";
    case CopyFailure::device_error:
        return "The request could not be performed because of an I/O device error.";
    }
    return "";
}

CopyFailure failure_from_errno(int error) {
    switch (error) {
    case 0:
        return CopyFailure::none;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR:
    case ETXTBSY:
    case EBUSY:
        return CopyFailure::access_denied;
    case ENOENT:
    case ENOTDIR:
    case ELOOP:
        return CopyFailure::path_not_found;
    case EEXIST:
        return CopyFailure::already_exists;
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
        return CopyFailure::disk_full;
    case ENAMETOOLONG:
        return CopyFailure::name_too_long;
    default:
        return CopyFailure::device_error;
    }
}

PendingCopy::PendingCopy(const FileAt &source, const FileAt &target, bool create)
    : source_(source), target_(target) {
    failure_ = open_source(source, opened_);
    if (failure_ != CopyFailure::none) {
        return;
    }
    if (create) {
        const int error = create_new(opened_, target, created_);
        creates_ = error == 0;
        failure_ = failure_from_errno(error); // EEXIST: found_target()
        return;
    }
    failure_ = find_final_target(target, final_);
    worth_comparing_ = failure_ == CopyFailure::none && final_.exists &&
                       !same_file(opened_.status, final_.status) &&
                       may_hold_same_bytes(opened_, final_);
}

// The target is opened here, not with the lookup, to share out the work.
void PendingCopy::run_ahead() {
    if (creates_) {
        fill_error_ = fill_new(opened_, created_);
    } else if (worth_comparing_) {
        const FileDescriptor target(open_for_reading(final_.at, O_NOFOLLOW | O_CLOEXEC));
        same_bytes_ = target.is_open() && holds_same_bytes(opened_, target.get());
    }
}

CopyFailure PendingCopy::finish(ReplaceBatch &batch) {
    if (failure_ != CopyFailure::none) {
        return failure_;
    }
    if (creates_) {
        if (fill_error_ != 0) {
            remove_new(target_);
        }
        return failure_from_errno(fill_error_);
    }
    if (!final_.exists) {
        const CopyFailure failure = create_copy(opened_, final_.at);
        created_on_finish_ = failure == CopyFailure::none;
        return failure;
    }
    if (same_file(opened_.status, final_.status)) {
        return CopyFailure::onto_itself;
    }
    // A file that waits in the batch will hold other bytes than it does now.
    if (same_bytes_ && !batch.replaces(identity_of(final_.status))) {
        return CopyFailure::none;
    }
    // Checked on the mode bits: root passes every access() test.
    if (!S_ISREG(final_.status.st_mode) || (final_.status.st_mode & S_IWUSR) == 0) {
        return CopyFailure::access_denied;
    }
    return replace_atomically(opened_, final_, batch);
}

void PendingCopy::discard() {
    if (creates_) {
        remove_new(target_);
    }
}

CopyFailure copy_file_to(const FileAt &source, const FileAt &target, bool target_known_absent,
                         ReplaceBatch &batch) {
    PendingCopy copy(source, target, target_known_absent);
    if (copy.found_target()) {
        return copy_file_to(source, target, false, batch);
    }
    copy.run_ahead();
    return copy.finish(batch);
}

CopyFailure copy_file_to(const FileAt &source, const FileAt &target, bool target_known_absent) {
    ReplaceBatch batch;
    const CopyFailure failure = copy_file_to(source, target, target_known_absent, batch);
    if (failure != CopyFailure::none) {
        return failure;
    }
    return failure_from_errno(batch.publish().error);
}

CopyFailure copy_file_to(const std::string &source, const std::string &target,
                         bool target_known_absent) {
    return copy_file_to(FileAt{AT_FDCWD, {}, source}, FileAt{AT_FDCWD, {}, target},
                        target_known_absent);
}

std::string FileAt::whole_path() const {
    return directory == AT_FDCWD ? name : joined_path(directory_path, name);
}

DirectoryHandle::DirectoryHandle(const std::string &path)
    : fd_(::open(path.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC)), path_(path) {}

FileAt DirectoryHandle::file(std::string_view name) const {
    if (!fd_.is_open()) {
        return {AT_FDCWD, {}, joined_path(path_, name)};
    }
    return {fd_.get(), path_, std::string(name)};
}

std::string joined_path(std::string_view directory, std::string_view name) {
    std::string path(directory);
    if (!path.empty() && path.back() != '/') {
        path.push_back('/');
    }
    path.append(name);
    return path;
}

} // namespace vorlan::platform::posix
