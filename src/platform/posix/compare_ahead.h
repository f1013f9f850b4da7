#pragma once
// A second thread that compares the copies handed to it, in the order they
// were handed, while the first thread looks up the next ones: a re-run over
// files that are in place then keeps two cores busy, not one.

#include "platform/posix/file_copy.h"

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <thread>

namespace vorlan::platform::posix {

class CompareAhead {
  public:
    // How many may be handed and not yet waited for: each holds two
    // descriptors, and the batch of replacements may take half of them.
    static std::size_t most_handed();

    CompareAhead();
    // Once what was handed is compared.
    ~CompareAhead();
    CompareAhead(const CompareAhead &) = delete;
    CompareAhead &operator=(const CompareAhead &) = delete;

    // The copy's number; it is not to be touched until wait() for it returns.
    std::uint64_t hand(PendingCopy &copy);
    // Returns once the copy numbered `number`, and every one before, is compared.
    void wait(std::uint64_t number);

  private:
    void compare_in_turn();

    static constexpr std::size_t slots = 16;

    std::array<PendingCopy *, slots> handed_copies_{};
    std::atomic<std::uint64_t> handed_{0};
    std::atomic<std::uint64_t> compared_{0};
    std::thread thread_; // none when it could not be started: hand() compares at once
};

} // namespace vorlan::platform::posix
