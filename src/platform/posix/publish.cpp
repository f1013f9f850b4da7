#include "platform/publish.h"

#include "platform/posix/temporary.h"
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

int open_scratch(const std::string &path) {
    const int flags = O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC;
    const int fd = ::open(path.c_str(), flags, 0666);
    if (fd < 0 && errno == ELOOP && remove_link_at(path)) {
        return ::open(path.c_str(), flags, 0666);
    }
    return fd;
}

} // namespace

// A one-file batch: the file is published as the copy commands publish theirs.
struct DraftFile::Temporary {
    posix::PublishBatch batch;
    std::unique_ptr<posix::Draft> draft;
    std::string target;
    std::string directory;
};

void DraftFile::Dropper::operator()(Temporary *temporary) const {
    delete temporary;
}

DraftFile::TemporaryPtr DraftFile::make(const std::filesystem::path &target, std::FILE *&stream) {
    TemporaryPtr temporary(new Temporary{});
    temporary->target = target.native();
    temporary->directory = target.parent_path().native();
    posix::PublishBatch::MadeDraft made = temporary->batch.make_draft(temporary->directory, 0666);
    if (made.error != 0) {
        return nullptr;
    }
    temporary->draft = std::move(made.draft);
    // The stream writes through a second descriptor: closing it must not
    // close the draft, which may have no name yet.
    const int fd = ::dup(temporary->draft->fd());
    stream = fd < 0 ? nullptr : ::fdopen(fd, "wb");
    if (stream == nullptr) {
        if (fd >= 0) {
            ::close(fd);
        }
        return nullptr;
    }
    return temporary;
}

Publication DraftFile::name(Temporary &temporary, std::FILE *stream, PublishMode mode) {
    if (std::fclose(stream) != 0) {
        return Publication::failed;
    }
    // Only a dangling link can stand at a new file's name: a readable file was seen.
    if (mode == PublishMode::create_new) {
        remove_link_at(temporary.target);
    }
    temporary.batch.add({.draft = std::move(temporary.draft),
                         .target = temporary.target,
                         .directory = temporary.directory,
                         .mode = mode,
                         .replaced = std::nullopt,
                         .bytes = 0});
    const posix::PublishBatch::Outcome outcome = temporary.batch.publish();
    if (!outcome.taken.empty()) {
        return Publication::name_taken;
    }
    return outcome.error == 0 && outcome.published == 1 ? Publication::published
                                                        : Publication::failed;
}

struct RewriteScratch::State {
    FileDescriptor fd{-1};
};

RewriteScratch::RewriteScratch(std::string_view windows_path) {
    const auto host = host_path(windows_path);
    if (!host) {
        return;
    }
    const std::string path = host->native();
    for (int attempt = 0; attempt < lock_attempts; ++attempt) {
        auto state = std::make_unique<State>();
        state->fd.reset(open_scratch(path));
        if (!state->fd.is_open()) {
            return;
        }
        // A file system without locks still gets its rewrite, unguarded; so
        // does one whose scratch file other runs keep replacing.
        if (posix::lock_exclusively(state->fd.get(), posix::LockWait::until_free) != 0 ||
            attempt + 1 == lock_attempts) {
            state_ = std::move(state);
            return;
        }
        // The run before us may have replaced the file while we waited.
        if (posix::names_the_open_file(path, state->fd.get())) {
            state_ = std::move(state);
            return;
        }
    }
}

RewriteScratch::~RewriteScratch() = default;

// An empty file, as a new scratch file is, is written as it stands:
// truncating it changes nothing, but ext4 flushes a file that was truncated
// and written again when it is closed, and the run would wait for the disk.
std::FILE *RewriteScratch::rewrite() {
    struct stat status {};
    if (!state_ || ::fstat(state_->fd.get(), &status) != 0 ||
        (status.st_size != 0 && ::ftruncate(state_->fd.get(), 0) != 0)) {
        return nullptr;
    }
    // Through a second descriptor, which the caller closes: the lock stays
    // with the first.
    const int fd = ::dup(state_->fd.get());
    std::FILE *stream = fd < 0 ? nullptr : ::fdopen(fd, "wb");
    if (stream == nullptr && fd >= 0) {
        ::close(fd);
    }
    return stream;
}

} // namespace vorlan::platform
