#pragma once
// The files a copy command copies, each listed and counted once it is
// certainly in place. A replacement waits in a batch, and what was copied
// after it is listed after it, so the listing keeps the order of the copies
// and never names a file that a failure then kept from its place.
//
// A copy onto a file that exists first waits while a second thread compares
// the two, and the next copies are looked up meanwhile; each is finished in
// turn. Whatever finishing one changes on disk (a new file, a published
// batch), those looked up after it are looked up again.

#include "platform/posix/cmd/command_output.h"
#include "platform/posix/compare_ahead.h"
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
    // The failure may be an earlier copy's, one that was waiting for its
    // compare. The directories that `source` and `target` name files in must
    // stay open until settle() or complete().
    CopyFailure copy(const FileAt &source, const FileAt &target, bool target_known_absent,
                     std::string shown);
    // Finishes the copies that wait for their compare: the failure that
    // stopped them, if any.
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
    struct Comparing {
        std::unique_ptr<PendingCopy> copy;
        std::string shown;
        std::uint64_t number; // handed to the comparing thread as
    };

    void hand(std::unique_ptr<PendingCopy> copy, std::string shown);
    CopyFailure finish_oldest();
    CopyFailure record(CopyFailure failure, bool waits, std::string shown);
    void look_up_again();
    void drop_compared();
    CopyFailure publish();
    void list(const std::string &shown);

    const CommandOutput &output_;
    ReplaceBatch batch_;
    std::vector<Unlisted> unlisted_;
    int count_ = 0;
    std::deque<Comparing> comparing_;
    // Ends before `comparing_`, whose copies it may still be reading.
    std::optional<CompareAhead> ahead_;
};

} // namespace vorlan::platform::posix
