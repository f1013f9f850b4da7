#pragma once
// A second thread that does the reading and writing of the copies handed to
// it, in the order they were handed, while the first thread looks up (and
// creates) the next ones: a copy of many files then keeps two cores busy.

#include "platform/posix/file_copy.h"

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <thread>

namespace vorlan::platform::posix {

class CopyAhead {
  public:
    // How many may be handed and not yet waited for: each holds two
    // descriptors, and the batch of replacements may take half of them.
    static std::size_t most_handed();

    CopyAhead();
    // Once what was handed is done.
    ~CopyAhead();
    CopyAhead(const CopyAhead &) = delete;
    CopyAhead &operator=(const CopyAhead &) = delete;

    // The copy's number; it is not to be touched until wait() for it returns.
    std::uint64_t hand(PendingCopy &copy);
    // Returns once the copy numbered `number`, and every one before, is done.
    void wait(std::uint64_t number);
    // Whether wait(number) would return at once.
    bool done(std::uint64_t number) const;
    // Runs the copy numbered `number` on this thread, unless the second
    // thread has begun it: the copies handed since it was are independent of
    // it, so that they may run in any order.
    bool take(std::uint64_t number);

  private:
    void run_in_turn();

    static constexpr std::size_t slots = 16;

    std::array<PendingCopy *, slots> handed_copies_{};
    std::array<std::atomic<bool>, slots> taken_{}; // by either thread
    std::atomic<std::uint64_t> handed_{0};
    std::atomic<std::uint64_t> done_{0};
    std::thread thread_; // none when it could not be started: hand() runs the copy at once
};

} // namespace vorlan::platform::posix
