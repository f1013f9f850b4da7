#include "platform/publish.h"

#include "platform/posix/draft.h"
#include "platform/windows_path.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vorlan::platform {
namespace {

using posix::FileDescriptor;

// A scratch file that vanishes or is replaced while we wait is looked up
// again, a few times at most.
constexpr int lock_attempts = 8;

bool is_symbolic_link(const std::string &path) {
    struct stat status {};
    return ::lstat(path.c_str(), &status) == 0 && S_ISLNK(status.st_mode);
}

// The scratch file is ours: a link at its name is replaced, never followed.
int open_scratch(const std::string &path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd < 0 && errno == ELOOP && ::unlink(path.c_str()) == 0) {
        return ::open(path.c_str(), O_RDONLY | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0666);
    }
    return fd;
}

} // namespace

struct DraftFile::State {
    posix::Draft draft;
    std::string target;
    std::string directory;
    std::FILE *stream = nullptr;

    ~State() {
        if (stream != nullptr) {
            std::fclose(stream);
        }
    }

    int publish(PublishMode mode) {
        const bool written = std::fclose(stream) == 0;
        stream = nullptr;
        if (!written) {
            return EIO;
        }
        if (const int error = posix::sync_file(draft.fd())) {
            return error;
        }
        int error = 0;
        if (mode == PublishMode::replace) {
            error = draft.publish_over(target);
        } else {
            // Only a dangling link can stand here: a readable file was seen.
            if (is_symbolic_link(target)) {
                ::unlink(target.c_str());
            }
            error = draft.publish_new(target);
        }
        return error != 0 ? error : posix::sync_directory(directory);
    }
};

DraftFile::DraftFile() = default;
DraftFile::~DraftFile() = default;

bool DraftFile::open(const std::filesystem::path &target) {
    auto state = std::make_unique<State>();
    state->target = target.native();
    state->directory = target.parent_path().native();
    posix::remove_stale_drafts(state->directory);
    if (state->draft.open(state->directory, 0666) != 0) {
        return false;
    }
    // The stream writes through a second descriptor: closing it must not
    // close the draft, which may have no name yet.
    const int fd = ::dup(state->draft.fd());
    state->stream = fd < 0 ? nullptr : ::fdopen(fd, "wb");
    if (state->stream == nullptr) {
        if (fd >= 0) {
            ::close(fd);
        }
        return false;
    }
    state_ = std::move(state);
    return true;
}

std::FILE *DraftFile::stream() const {
    return state_ ? state_->stream : nullptr;
}

Publication DraftFile::publish(PublishMode mode) {
    if (!state_ || state_->stream == nullptr) {
        return Publication::failed;
    }
    const int error = state_->publish(mode);
    state_.reset();
    if (error == EEXIST && mode == PublishMode::create_new) {
        return Publication::name_taken;
    }
    return error == 0 ? Publication::published : Publication::failed;
}

struct RewriteLock::State {
    FileDescriptor fd{-1};
};

RewriteLock::RewriteLock(std::string_view scratch_windows_path) {
    const auto host = host_path(scratch_windows_path);
    if (!host) {
        return;
    }
    const std::string path = host->native();
    for (int attempt = 0; attempt < lock_attempts; ++attempt) {
        auto state = std::make_unique<State>();
        state->fd.reset(open_scratch(path));
        // A file system without locks still gets its rewrite, unguarded.
        if (!state->fd.is_open() || posix::lock_exclusively(state->fd.get(), true) != 0) {
            return;
        }
        // The run before us may have replaced the file while we waited.
        if (posix::names_the_open_file(path, state->fd.get())) {
            state_ = std::move(state);
            return;
        }
    }
}

RewriteLock::~RewriteLock() = default;

} // namespace vorlan::platform
