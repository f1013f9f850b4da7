#pragma once
// The files a copy command copies, each listed and counted once it is
// certainly in place. A copy that writes waits in a batch, and what was
// copied after it is listed after it, so the listing keeps the order of the
// copies and never names a file that a failure then kept from its place.
//
// A full batch is published on a thread of its own while the next one
// fills: the wait for the disk then overlaps the copying. That thread owns
// the batch it was handed and touches nothing else; its outcome comes back
// through a future, and the files it published are listed here, in order,
// before the next batch is handed over.

#include "platform/posix/cmd/command_output.h"
#include "platform/posix/file_copy.h"
#include "platform/posix/replace_batch.h"

#include <future>
#include <optional>
#include <string>
#include <vector>

namespace vorlan::platform::posix {

class CopiedFiles {
  public:
    explicit CopiedFiles(const CommandOutput &output) : output_(output) {}

    // Copies one file; `shown` is the line that lists it, none when empty.
    // The failure may be that of publishing the copies that waited.
    CopyFailure copy(const FileAt &source, const FileAt &target, bool target_known_absent,
                     std::string shown);
    // A directory was made in `parent` for the files to come.
    void directory_made(std::string parent) { batch_.add_made_directory(std::move(parent)); }
    // Publishes what waits: the failure that stopped it, if any. A command
    // calls it before it reports anything, and when it ends.
    CopyFailure complete();
    int count() const { return count_; }

  private:
    struct Unlisted {
        std::string shown;
        bool waits; // in the batch, not yet in place
        // Whole paths, to copy it again if its name is taken meanwhile.
        std::string source;
        std::string target;
    };
    // A batch being published elsewhere, and the files to list after it.
    struct InFlight {
        std::future<ReplaceBatch::Outcome> outcome;
        std::vector<Unlisted> files;
    };

    CopyFailure hand_over();
    CopyFailure finish_in_flight();
    CopyFailure list_published(const ReplaceBatch::Outcome &outcome,
                               const std::vector<Unlisted> &files);
    void drop_waiting();
    void list(const std::string &shown);

    const CommandOutput &output_;
    ReplaceBatch batch_;
    std::vector<Unlisted> unlisted_;
    std::optional<InFlight> in_flight_;
    int count_ = 0;
};

} // namespace vorlan::platform::posix
