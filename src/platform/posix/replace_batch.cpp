#include "platform/posix/replace_batch.h"

#include "platform/posix/file_descriptor.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <string_view>

namespace vorlan::platform::posix {
namespace {

// What waits is bounded so that a kill or a failure costs little work, and
// so that the drafts' descriptors, of a batch being published and of the
// next one filling, stay well inside the process's limit.
constexpr std::size_t most_waiting_files = 2048;
constexpr off_t most_waiting_bytes = off_t{64} << 20;

// From this many drafts, or directories, on, one sync of their whole file
// system is cheaper than one sync for each; below it, it would also write
// others' data.
constexpr std::size_t files_worth_a_file_system_sync = 8;

std::size_t waiting_files_allowed() {
    return std::clamp<std::size_t>(raise_descriptor_limit() / 4, 1, most_waiting_files);
}

} // namespace

void ReplaceBatch::add(std::unique_ptr<Draft> draft, std::string target, std::string directory,
                       std::pair<dev_t, ino_t> target_identity, off_t bytes) {
    targets_.insert(target_identity);
    wait({std::move(draft), std::move(target), std::move(directory), false}, bytes);
}

void ReplaceBatch::add_new(std::unique_ptr<Draft> draft, std::string target, std::string directory,
                           off_t bytes) {
    wait({std::move(draft), std::move(target), std::move(directory), true}, bytes);
}

void ReplaceBatch::wait(Waiting waiting, off_t bytes) {
    pending_bytes_ += bytes;
    pending_.push_back(std::move(waiting));
}

void ReplaceBatch::add_made_directory(std::string parent) {
    made_in_.push_back(std::move(parent));
}

ReplaceBatch ReplaceBatch::successor() const {
    ReplaceBatch next;
    next.targets_ = targets_;
    return next;
}

bool ReplaceBatch::replaces(std::pair<dev_t, ino_t> target_identity) const {
    return targets_.contains(target_identity);
}

bool ReplaceBatch::full() const {
    return pending_.size() >= most_files() || pending_bytes_ >= most_waiting_bytes;
}

std::size_t ReplaceBatch::most_files() {
    static const std::size_t most = waiting_files_allowed();
    return most;
}

ReplaceBatch::Outcome ReplaceBatch::publish() {
    Outcome outcome{0, sync_drafts(), {}};
    if (outcome.error == 0) {
        outcome.published = name_drafts(outcome);
    }
    if (const int error = sync_directories(outcome.published)) {
        // Named, but not certainly on disk: not reported as copied.
        outcome = {0, outcome.error != 0 ? outcome.error : error, {}};
    }
    pending_.clear(); // drafts not named vanish here
    made_in_.clear();
    targets_.clear();
    pending_bytes_ = 0;
    return outcome;
}

int ReplaceBatch::sync_drafts() const {
    if (pending_.size() >= files_worth_a_file_system_sync) {
        return sync_file_systems();
    }
    for (const Waiting &waiting : pending_) {
        if (const int error = sync_file(waiting.draft->fd())) {
            return error;
        }
    }
    return 0;
}

// The drafts' file systems are those of every directory in the batch: each
// draft lies in its target's directory, and a directory is made only for the
// files that go into it.
int ReplaceBatch::sync_file_systems() const {
    std::set<dev_t> synced;
    for (const Waiting &waiting : pending_) {
        struct stat status {};
        if (::fstat(waiting.draft->fd(), &status) != 0) {
            return errno;
        }
        if (synced.insert(status.st_dev).second && ::syncfs(waiting.draft->fd()) != 0) {
            return errno;
        }
    }
    return 0;
}

std::size_t ReplaceBatch::name_drafts(Outcome &outcome) {
    std::size_t named = 0;
    for (; named < pending_.size(); ++named) {
        const Waiting &waiting = pending_[named];
        const int error = waiting.is_new ? waiting.draft->publish_new(waiting.target)
                                         : waiting.draft->publish_over(waiting.target);
        if (error == EEXIST && waiting.is_new) {
            outcome.taken.push_back(named);
        } else if (error != 0) {
            outcome.error = error;
            break;
        }
    }
    return named;
}

int ReplaceBatch::sync_directories(std::size_t published) const {
    std::set<std::string_view> directories(made_in_.begin(), made_in_.end());
    for (std::size_t i = 0; i < published; ++i) {
        directories.insert(pending_[i].directory);
    }
    if (directories.size() >= files_worth_a_file_system_sync && !pending_.empty()) {
        return sync_file_systems();
    }
    for (const std::string_view directory : directories) {
        if (const int error = sync_directory(std::string(directory))) {
            return error;
        }
    }
    return 0;
}

} // namespace vorlan::platform::posix
