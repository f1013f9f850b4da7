#include "platform/posix/temporary.h"

#include "platform/draft_name.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <string_view>

namespace vorlan::platform::posix {
namespace {

// What waits is bounded so that a kill or a failure costs little work.
constexpr std::size_t most_waiting_files = 2048;
constexpr off_t most_waiting_bytes = off_t{64} << 20;

// From this many drafts, or directories, on, one sync of their whole file
// system is cheaper than one sync for each; below it, it would also write
// others' data.
constexpr std::size_t files_worth_a_file_system_sync = 8;

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

int sync_file(int fd) {
    return ::fsync(fd) == 0 ? 0 : errno;
}

// Removes `name` from `directory` when it is a temporary of ours that no
// live run holds.
void remove_if_stale(const std::string &directory, std::string_view name) {
    if (!is_draft_name(name)) {
        return;
    }
    const std::string path = joined_path(directory, name);
    const FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    // Locked: a live run is filling it, or is about to rename it.
    if (fd.is_open() && lock_exclusively(fd.get(), LockWait::fail_at_once) == 0 &&
        names_the_open_file(path, fd.get())) {
        ::unlink(path.c_str());
    }
}

void sweep(const std::string &directory) {
    struct Closer {
        void operator()(DIR *handle) const { ::closedir(handle); }
    };
    const std::unique_ptr<DIR, Closer> handle(
        ::opendir(directory.empty() ? "." : directory.c_str()));
    if (!handle) {
        return;
    }
    while (const dirent *entry = ::readdir(handle.get())) {
        remove_if_stale(directory, entry->d_name);
    }
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
        if (const int error = lock_exclusively(fd_.get(), LockWait::until_free)) {
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
    if (const int error = lock_exclusively(fd_.get(), LockWait::until_free)) {
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

// EEXIST where a name stands.
int Draft::take_free_name(const std::string &target) {
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

int Draft::take_name_over(const std::string &target) {
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

std::size_t PublishBatch::files_allowed(std::size_t descriptor_limit) {
    return std::clamp<std::size_t>(descriptor_limit / 4, 1, most_waiting_files);
}

PublishBatch::MadeDraft PublishBatch::make_draft(const std::string &directory, unsigned mode) {
    sweep_once(directory);
    auto draft = std::make_unique<Draft>();
    if (const int error = draft->open(directory, mode)) {
        return {nullptr, error};
    }
    return {std::move(draft), 0};
}

void PublishBatch::sweep_once(const std::string &directory) {
    if (swept_.insert(directory).second) {
        sweep(directory);
    }
}

void PublishBatch::add(WaitingFile file) {
    if (file.replaced) {
        replaced_.insert(*file.replaced);
    }
    waiting_bytes_ += file.bytes;
    waiting_.push_back(std::move(file));
}

void PublishBatch::directory_made(std::string parent, std::string made) {
    swept_.insert(std::move(made));
    made_in_.push_back(std::move(parent));
}

PublishBatch PublishBatch::successor() const {
    PublishBatch next(most_files_);
    next.replaced_ = replaced_;
    next.swept_ = swept_;
    return next;
}

bool PublishBatch::full() const {
    return waiting_.size() >= most_files_ || waiting_bytes_ >= most_waiting_bytes;
}

PublishBatch::Outcome PublishBatch::publish() {
    Outcome outcome{0, sync_drafts(), {}};
    if (outcome.error == 0) {
        outcome.published = name_drafts(outcome);
    }
    if (const int error = sync_directories(outcome.published)) {
        // Named, but not certainly on disk: not reported as published.
        outcome = {0, outcome.error != 0 ? outcome.error : error, {}};
    }
    waiting_.clear();
    made_in_.clear();
    replaced_.clear();
    waiting_bytes_ = 0;
    return outcome;
}

int PublishBatch::sync_drafts() const {
    if (waiting_.size() >= files_worth_a_file_system_sync) {
        return sync_file_systems();
    }
    for (const WaitingFile &file : waiting_) {
        if (const int error = sync_file(file.draft->fd())) {
            return error;
        }
    }
    return 0;
}

// The drafts' file systems are those of every directory in the batch: each
// draft lies in its target's directory, and a directory is made only for the
// files that go into it.
int PublishBatch::sync_file_systems() const {
    std::set<dev_t> synced;
    for (const WaitingFile &file : waiting_) {
        struct stat status {};
        if (::fstat(file.draft->fd(), &status) != 0) {
            return errno;
        }
        if (synced.insert(status.st_dev).second && ::syncfs(file.draft->fd()) != 0) {
            return errno;
        }
    }
    return 0;
}

std::size_t PublishBatch::name_drafts(Outcome &outcome) {
    std::size_t named = 0;
    for (; named < waiting_.size(); ++named) {
        const WaitingFile &file = waiting_[named];
        const bool is_new = file.mode == PublishMode::create_new;
        const int error = is_new ? file.draft->take_free_name(file.target)
                                 : file.draft->take_name_over(file.target);
        if (error == EEXIST && is_new) {
            outcome.taken.push_back(named);
        } else if (error != 0) {
            outcome.error = error;
            break;
        }
    }
    return named;
}

int PublishBatch::sync_directories(std::size_t published) const {
    std::set<std::string_view> directories(made_in_.begin(), made_in_.end());
    for (std::size_t i = 0; i < published; ++i) {
        directories.insert(waiting_[i].directory);
    }
    if (directories.size() >= files_worth_a_file_system_sync && !waiting_.empty()) {
        return sync_file_systems();
    }
    for (const std::string_view directory : directories) {
        if (const int error = sync_directory(std::string(directory))) {
            return error;
        }
    }
    return 0;
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

// The lock says that a live run owns the file; it dies with the run.
int lock_exclusively(int fd, LockWait wait) {
    const int operation = LOCK_EX | (wait == LockWait::fail_at_once ? LOCK_NB : 0);
    while (::flock(fd, operation) != 0) {
        if (errno != EINTR) {
            return errno;
        }
    }
    return 0;
}

bool names_the_open_file(const std::string &path, int fd) {
    struct stat at_name {};
    struct stat open_file {};
    return ::lstat(path.c_str(), &at_name) == 0 && ::fstat(fd, &open_file) == 0 &&
           same_file(at_name, open_file);
}

} // namespace vorlan::platform::posix
