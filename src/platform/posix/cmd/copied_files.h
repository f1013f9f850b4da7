#pragma once
// The files a copy command copies, each listed and counted once it is
// certainly in place. A replacement waits in a batch, and what was copied
// after it is listed after it, so the listing keeps the order of the copies
// and never names a file that a failure then kept from its place.
//
// A copy waits while a second thread compares it with the file it would
// replace, or fills the new file it made, and the next copies are looked up
// meanwhile; each is finished in turn. Whatever finishing one changes on disk
// (a new file, a published batch), those looked up after it are looked up
// again; what waits after a failure is undone.

#include "platform/posix/cmd/command_output.h"
#include "platform/posix/copy_ahead.h"
#include "platform/posix/file_copy.h"
#include "platform/posix/replace_batch.h"

#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace vorlan::platform::posix {

class CopiedFiles {
  public:
    explicit CopiedFiles(const CommandOutput &output) : output_(output) {}

    // Copies one file; `shown` is the line that lists it, none when empty.
    // The failure may be an earlier copy's, one that was waiting. The
    // directories that `source` and `target` name files in must stay open
    // until settle() or complete().
    CopyFailure copy(const FileAt &source, const FileAt &target, bool target_known_absent,
                     std::string shown);
    // Finishes the copies that wait: the failure that stopped them, if any.
    CopyFailure settle();
    // Settles, then publishes what waits in the batch. A command calls it
    // before it reports anything, and when it ends.
    CopyFailure complete();
    int count() const { return count_; }

  private:
    struct Unlisted {
        std::string shown;
        bool waits; // in the batch, not yet in place
    };
    struct Pending {
        std::unique_ptr<PendingCopy> copy;
        std::string shown;
        std::uint64_t number; // handed to the second thread as
    };

    void hand(std::unique_ptr<PendingCopy> copy, std::string shown);
    CopyFailure finish_half();
    CopyFailure finish_oldest();
    CopyFailure record(CopyFailure failure, bool waits, std::string shown);
    void look_up_again();
    void drop_pending();
    CopyFailure publish();
    void list(const std::string &shown);

    const CommandOutput &output_;
    ReplaceBatch batch_;
    std::vector<Unlisted> unlisted_;
    int count_ = 0;
    std::deque<Pending> pending_;
    bool creating_ = false; // what `pending_` holds: new files, or lookups
    // Ends before `pending_`, whose copies it may still be working on.
    std::optional<CopyAhead> ahead_;
};

} // namespace vorlan::platform::posix
