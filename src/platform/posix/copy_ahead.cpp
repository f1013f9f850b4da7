#include "platform/posix/copy_ahead.h"

#include <algorithm>
#include <system_error>

namespace vorlan::platform::posix {

std::size_t CopyAhead::most_handed() {
    static const std::size_t most = std::clamp<std::size_t>(descriptors_allowed() / 16, 1, slots);
    return most;
}

CopyAhead::CopyAhead() {
    try {
        thread_ = std::thread(&CopyAhead::run_in_turn, this);
    } catch (const std::system_error &) {
        // Without a second thread every copy runs as it is handed.
    }
}

CopyAhead::~CopyAhead() {
    if (!thread_.joinable()) {
        return;
    }
    const std::uint64_t handed = handed_.load(std::memory_order_relaxed);
    if (handed > 0) {
        wait(handed - 1); // so that the slot for the end is free
    }
    handed_copies_[handed % slots] = nullptr;
    handed_.store(handed + 1, std::memory_order_release);
    handed_.notify_one();
    thread_.join();
}

std::uint64_t CopyAhead::hand(PendingCopy &copy) {
    const std::uint64_t number = handed_.load(std::memory_order_relaxed);
    if (!thread_.joinable()) {
        copy.run_ahead();
        handed_.store(number + 1, std::memory_order_relaxed);
        return number;
    }
    handed_copies_[number % slots] = &copy;
    taken_[number % slots].store(false, std::memory_order_relaxed);
    handed_.store(number + 1, std::memory_order_release);
    handed_.notify_one();
    return number;
}

void CopyAhead::wait(std::uint64_t number) {
    if (!thread_.joinable()) {
        return;
    }
    for (std::uint64_t done = done_.load(std::memory_order_acquire); done <= number;
         done = done_.load(std::memory_order_acquire)) {
        done_.wait(done, std::memory_order_acquire);
    }
}

bool CopyAhead::done(std::uint64_t number) const {
    return !thread_.joinable() || done_.load(std::memory_order_acquire) > number;
}

bool CopyAhead::take(std::uint64_t number) {
    if (!thread_.joinable() || taken_[number % slots].exchange(true, std::memory_order_acq_rel)) {
        return false;
    }
    handed_copies_[number % slots]->run_ahead();
    return true;
}

// A null copy is the end.
void CopyAhead::run_in_turn() {
    for (std::uint64_t next = 0;; ++next) {
        for (std::uint64_t handed = handed_.load(std::memory_order_acquire); handed == next;
             handed = handed_.load(std::memory_order_acquire)) {
            handed_.wait(handed, std::memory_order_acquire);
        }
        PendingCopy *const copy = handed_copies_[next % slots];
        if (copy == nullptr) {
            return;
        }
        if (!taken_[next % slots].exchange(true, std::memory_order_acq_rel)) {
            copy->run_ahead();
        }
        done_.store(next + 1, std::memory_order_release);
        done_.notify_one();
    }
}

} // namespace vorlan::platform::posix
