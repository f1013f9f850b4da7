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
#include "platform/posix/cmd/file_copy.h"

#include <future>
#include <optional>
#include <string>
#include <vector>

namespace vorlan::platform::posix {

class CopiedFiles {
  public:
    // At most `most_waiting` copies wait in a batch (PublishBatch::files_allowed).
    CopiedFiles(const CommandOutput &output, std::size_t most_waiting)
        : output_(output), batch_(most_waiting) {}

    // Copies one file; `shown` is the line that lists it, none when empty.
    // The error may be that of publishing the copies that waited.
    CmdError copy(const FileAt &source, const FileAt &target, TargetLookup lookup,
                  std::string shown);
    // The directory `made` was made in `parent` for the files to come.
    void directory_made(std::string parent, std::string made) {
        batch_.directory_made(std::move(parent), std::move(made));
    }
    // Files may be copied into the existing `directory`; it is cleared of
    // what killed runs left there, even when nothing new goes in.
    void writing_into(const std::string &directory) { batch_.sweep_once(directory); }
    // Publishes what waits: the error that stopped it, if any. A command
    // calls it before it reports anything, and when it ends.
    CmdError publish_waiting();
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
        std::future<PublishBatch::Outcome> outcome;
        std::vector<Unlisted> files;
    };

    CmdError hand_over();
    CmdError finish_in_flight();
    CmdError list_published(const PublishBatch::Outcome &outcome,
                            const std::vector<Unlisted> &files);
    void drop_waiting();
    void list(const std::string &shown);

    const CommandOutput &output_;
    PublishBatch batch_;
    std::vector<Unlisted> unlisted_;
    std::optional<InFlight> in_flight_;
    int count_ = 0;
};

} // namespace vorlan::platform::posix
