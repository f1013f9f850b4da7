#include "platform/posix/cmd/copied_files.h"

#include <utility>

namespace vorlan::platform::posix {

CopyFailure CopiedFiles::copy(const FileAt &source, const FileAt &target, bool target_known_absent,
                              std::string shown) {
    if (target_known_absent) {
        // A new file could be what a copy looked up earlier would find.
        if (const CopyFailure failure = settle(); failure != CopyFailure::none) {
            return failure;
        }
        const std::size_t waiting_before = batch_.size();
        const CopyFailure failure = copy_file_to(source, target, true, batch_);
        return record(failure, batch_.size() > waiting_before, std::move(shown));
    }
    if (comparing_.size() == CompareAhead::most_handed()) {
        if (const CopyFailure failure = finish_oldest(); failure != CopyFailure::none) {
            return failure;
        }
    }
    hand(std::make_unique<PendingCopy>(source, target), std::move(shown));
    return CopyFailure::none;
}

CopyFailure CopiedFiles::settle() {
    while (!comparing_.empty()) {
        if (const CopyFailure failure = finish_oldest(); failure != CopyFailure::none) {
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
    comparing_.push_back({std::move(copy), std::move(shown), number});
}

CopyFailure CopiedFiles::finish_oldest() {
    Comparing oldest = std::move(comparing_.front());
    comparing_.pop_front();
    ahead_->wait(oldest.number);
    const std::size_t waiting_before = batch_.size();
    const CopyFailure failure = oldest.copy->finish(batch_);
    const bool waits = batch_.size() > waiting_before;
    const bool wrote = batch_.full() || (!waits && !oldest.copy->left_alone());
    const CopyFailure recorded = record(failure, waits, std::move(oldest.shown));
    if (recorded == CopyFailure::none && wrote) {
        look_up_again();
    }
    return recorded;
}

CopyFailure CopiedFiles::record(CopyFailure failure, bool waits, std::string shown) {
    if (failure != CopyFailure::none) {
        drop_compared(); // a command stops at its first failure
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

void CopiedFiles::look_up_again() {
    if (comparing_.empty()) {
        return;
    }
    ahead_->wait(comparing_.back().number);
    std::deque<Comparing> stale = std::move(comparing_);
    comparing_.clear();
    for (Comparing &old : stale) {
        const FileAt source = old.copy->source();
        const FileAt target = old.copy->target();
        old.copy.reset();
        hand(std::make_unique<PendingCopy>(source, target), std::move(old.shown));
    }
}

// Waits for the comparing thread to let go of them, then forgets them.
void CopiedFiles::drop_compared() {
    if (!comparing_.empty()) {
        ahead_->wait(comparing_.back().number);
    }
    comparing_.clear();
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
