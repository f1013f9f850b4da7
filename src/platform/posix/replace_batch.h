#pragma once
// Copies whose durability is paid together. Each is a filled draft that
// waits, unnamed and locked, until the batch is published: then every
// draft's bytes are synced, each takes its name (a new file only where the
// name is still free, a replacement over the old file), and each directory
// they went into is synced once. Until then a target holds its old bytes, or
// is absent; a run killed meanwhile leaves it so, and its drafts vanish with
// it or are cleared by the next run.

#include "platform/posix/draft.h"

#include <sys/types.h>

#include <cstddef>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace vorlan::platform::posix {

class ReplaceBatch {
  public:
    // `draft` is to replace `target`, a file `bytes` long, of the file
    // `target_identity` (device and inode), in `directory`.
    void add(std::unique_ptr<Draft> draft, std::string target, std::string directory,
             std::pair<dev_t, ino_t> target_identity, off_t bytes);
    // `draft` is to be the new file `target`, `bytes` long, in `directory`.
    void add_new(std::unique_ptr<Draft> draft, std::string target, std::string directory,
                 off_t bytes);
    // A directory made for the files: the one it was made in is synced too.
    void add_made_directory(std::string parent);

    // True while the file waits to be replaced: what it holds now is not
    // what it will hold.
    bool replaces(std::pair<dev_t, ino_t> target_identity) const;

    // An empty batch that still counts this one's files as waiting to be
    // replaced, for while this one is being published.
    ReplaceBatch successor() const;

    std::size_t size() const { return pending_.size(); }
    // As much as may wait, open and unsynced, at one time.
    bool full() const;
    static std::size_t most_files();

    struct Outcome {
        std::size_t published; // the first ones, in the order they were added
        int error;             // an errno value that stopped the others; 0 when none
        // Of those, the new files whose name was taken meanwhile: not published.
        std::vector<std::size_t> taken;
    };
    // Publishes what waits and empties the batch.
    Outcome publish();

  private:
    struct Waiting {
        std::unique_ptr<Draft> draft;
        std::string target;
        std::string directory;
        bool is_new;
    };

    void wait(Waiting waiting, off_t bytes);
    int sync_drafts() const;
    int sync_file_systems() const;
    std::size_t name_drafts(Outcome &outcome);
    int sync_directories(std::size_t published) const;

    std::vector<Waiting> pending_;
    std::vector<std::string> made_in_;
    std::set<std::pair<dev_t, ino_t>> targets_;
    off_t pending_bytes_ = 0;
};

} // namespace vorlan::platform::posix
