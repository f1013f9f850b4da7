#include "platform/posix/cmd/copied_files.h"

#include <utility>

namespace vorlan::platform::posix {

CopyFailure CopiedFiles::copy(const FileAt &source, const FileAt &target, bool target_known_absent,
                              std::string shown) {
    // Copies that create and copies that look up do not wait side by side:
    // one could miss, or read half written, a file that the other makes.
    if (target_known_absent != creating_) {
        if (const CopyFailure failure = settle(); failure != CopyFailure::none) {
            return failure;
        }
        creating_ = target_known_absent;
    }
    if (pending_.size() == CopyAhead::most_handed()) {
        if (const CopyFailure failure = finish_half(); failure != CopyFailure::none) {
            return failure;
        }
    }
    auto copy = std::make_unique<PendingCopy>(source, target, creating_);
    if (copy->found_target()) {
        if (const CopyFailure failure = settle(); failure != CopyFailure::none) {
            return failure;
        }
        creating_ = false;
        copy = std::make_unique<PendingCopy>(source, target, false);
    }
    const bool cannot_be_made = creating_ && copy->failed();
    hand(std::move(copy), std::move(shown));
    // No file is created after one that cannot be.
    return cannot_be_made ? settle() : CopyFailure::none;
}

CopyFailure CopiedFiles::settle() {
    while (!pending_.empty()) {
        if (const CopyFailure failure = finish_half(); failure != CopyFailure::none) {
            return failure;
        }
    }
    return CopyFailure::none;
}

CopyFailure CopiedFiles::complete() {
    const CopyFailure failure = settle();
    return failure != CopyFailure::none ? failure : publish();
}

void CopiedFiles::hand(std::unique_ptr<PendingCopy> copy, std::string shown) {
    if (!ahead_) {
        ahead_.emplace();
    }
    const std::uint64_t number = ahead_->hand(*copy);
    pending_.push_back({std::move(copy), std::move(shown), number});
}

// Half the copies at once, not one: waking for each would cost more than
// the copy, and the other half keeps the second thread busy meanwhile. Until
// that thread is through the first half, this one runs the newest copies
// rather than wait: the queue holds one kind, so they do not depend on the
// older ones.
CopyFailure CopiedFiles::finish_half() {
    std::size_t count = (pending_.size() + 1) / 2;
    const std::uint64_t last = pending_[count - 1].number;
    for (auto newest = pending_.rbegin(); newest != pending_.rend() - count; ++newest) {
        if (ahead_->done(last) || !ahead_->take(newest->number)) {
            break;
        }
    }
    ahead_->wait(last);
    for (; count > 0 && !pending_.empty(); --count) {
        if (const CopyFailure failure = finish_oldest(); failure != CopyFailure::none) {
            return failure;
        }
    }
    return CopyFailure::none;
}

CopyFailure CopiedFiles::finish_oldest() {
    Pending oldest = std::move(pending_.front());
    pending_.pop_front();
    ahead_->wait(oldest.number);
    const std::size_t waiting_before = batch_.size();
    const CopyFailure failure = oldest.copy->finish(batch_);
    const bool waits = batch_.size() > waiting_before;
    const bool wrote = batch_.full() || oldest.copy->created_on_finish();
    const CopyFailure recorded = record(failure, waits, std::move(oldest.shown));
    if (recorded == CopyFailure::none && wrote) {
        look_up_again();
    }
    return recorded;
}

CopyFailure CopiedFiles::record(CopyFailure failure, bool waits, std::string shown) {
    if (failure != CopyFailure::none) {
        drop_pending(); // a command stops at its first failure
        const CopyFailure earlier = publish();
        return earlier != CopyFailure::none ? earlier : failure;
    }
    if (!waits && unlisted_.empty()) {
        list(shown);
    } else {
        unlisted_.push_back({std::move(shown), waits});
    }
    return batch_.full() ? publish() : CopyFailure::none;
}

// Files created ahead were made after every lookup since.
void CopiedFiles::look_up_again() {
    if (pending_.empty() || creating_) {
        return;
    }
    ahead_->wait(pending_.back().number);
    std::deque<Pending> stale = std::move(pending_);
    pending_.clear();
    for (Pending &old : stale) {
        const FileAt source = old.copy->source();
        const FileAt target = old.copy->target();
        old.copy.reset();
        hand(std::make_unique<PendingCopy>(source, target, false), std::move(old.shown));
    }
}

// Waits for the second thread to let go of them, then forgets them and
// removes what they created.
void CopiedFiles::drop_pending() {
    if (!pending_.empty()) {
        ahead_->wait(pending_.back().number);
    }
    for (Pending &copy : pending_) {
        copy.copy->discard();
    }
    pending_.clear();
}

CopyFailure CopiedFiles::publish() {
    const ReplaceBatch::Outcome outcome = batch_.publish();
    std::size_t published = outcome.published;
    for (const Unlisted &file : unlisted_) {
        if (file.waits && published-- == 0) {
            break;
        }
        list(file.shown);
    }
    unlisted_.clear();
    return failure_from_errno(outcome.error);
}

void CopiedFiles::list(const std::string &shown) {
    if (!shown.empty()) {
        output_.say(shown);
    }
    ++count_;
}

} // namespace vorlan::platform::posix
