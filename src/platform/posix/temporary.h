#pragma once
// A temporary's whole life, the one way a file of ours reaches its name on
// POSIX, whether a copy command or a writer made it:
//
//   made     PublishBatch::make_draft, in the directory of the name it will
//            take: unnamed where the system allows it (O_TMPFILE), else
//            under a name of ours (draft_name.h), locked so that no other
//            run takes it for stale;
//   filled   by its maker, through Draft::fd();
//   waiting  in the batch, unsynced; its target keeps what it had;
//   synced   PublishBatch::publish syncs every waiting draft's bytes,
//   named    then gives each its name in one step (a new file only where
//            the name is still free, a replacement over the old file),
//            then syncs every directory that gained a name;
//   swept    a draft dropped before it is named leaves nothing; one that a
//            killed run left is removed by the next batch that makes a
//            draft in its directory, or that is told the directory is one
//            it writes into, unless a live run holds its lock.
//
// A run killed at any moment leaves each target old or new, never part of
// either.

#include "platform/posix/file_at.h"
#include "platform/posix/file_descriptor.h"
#include "platform/publish.h"

#include <sys/types.h>

#include <cstddef>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace vorlan::platform::posix {

class Draft {
  public:
    Draft() = default;
    Draft(const Draft &) = delete;
    Draft &operator=(const Draft &) = delete;
    ~Draft(); // a draft never named leaves nothing

    int fd() const { return fd_.get(); }

  private:
    friend class PublishBatch;
    int open(const std::string &directory, unsigned mode);
    int give_temporary_name();
    int take_free_name(const std::string &target);
    int take_name_over(const std::string &target);

    FileDescriptor fd_{-1};
    std::string directory_;
    std::string name_; // its temporary name, empty while it has none
};

// A filled draft and the name it waits to take.
struct WaitingFile {
    std::unique_ptr<Draft> draft;
    std::string target;    // a path in `directory`
    std::string directory; // "" is the current one
    PublishMode mode;
    std::optional<FileIdentity> replaced; // the file it replaces, where known
    off_t bytes;
};

// Drafts whose durability is paid together.
class PublishBatch {
  public:
    // How many drafts may wait, open, with the process allowed this many
    // descriptors: a batch being published and the next one filling both
    // hold theirs.
    static std::size_t files_allowed(std::size_t descriptor_limit);

    explicit PublishBatch(std::size_t most_files) : most_files_(most_files) {}
    // A batch of one file, as a single publish needs.
    PublishBatch() : PublishBatch(1) {}

    struct MadeDraft {
        std::unique_ptr<Draft> draft; // none on failure
        int error;                    // an errno value
    };
    // A new draft in `directory` with the permission bits `mode`, less the umask.
    MadeDraft make_draft(const std::string &directory, unsigned mode);
    void add(WaitingFile file);
    // `made` was made in `parent` for the files to come: `parent` is synced
    // too, and `made` holds nothing stale.
    void directory_made(std::string parent, std::string made);
    // Drafts may go into `directory`: what killed runs left there goes now,
    // once for this batch and its successors.
    void sweep_once(const std::string &directory);

    // True while the file waits to be replaced: what it holds now is not
    // what it will hold.
    bool replaces(FileIdentity target) const { return replaced_.contains(target); }
    // An empty batch that still counts this one's files as waiting to be
    // replaced, for while this one is being published, and knows the
    // directories already swept.
    PublishBatch successor() const;

    std::size_t size() const { return waiting_.size(); }
    bool full() const;

    struct Outcome {
        std::size_t published; // the first ones, in the order they were added
        int error;             // an errno value that stopped the others; 0 when none
        // Of those, the new files whose name was taken meanwhile: not published.
        std::vector<std::size_t> taken;
    };
    // Publishes what waits and empties the batch; drafts not named vanish.
    Outcome publish();

  private:
    int sync_drafts() const;
    int sync_file_systems() const;
    std::size_t name_drafts(Outcome &outcome);
    int sync_directories(std::size_t published) const;

    std::size_t most_files_;
    std::vector<WaitingFile> waiting_;
    std::vector<std::string> made_in_;
    std::set<FileIdentity> replaced_;
    std::set<std::string> swept_;
    off_t waiting_bytes_ = 0;
};

int sync_directory(const std::string &directory);

enum class LockWait { until_free, fail_at_once };
// An errno value; EWOULDBLOCK when another holds it and `wait` is fail_at_once.
int lock_exclusively(int fd, LockWait wait);
// True when the path names the file open as `fd`, not some other.
bool names_the_open_file(const std::string &path, int fd);

} // namespace vorlan::platform::posix
