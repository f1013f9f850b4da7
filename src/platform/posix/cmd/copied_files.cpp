#include "platform/posix/cmd/copied_files.h"

#include <algorithm>
#include <cerrno>
#include <system_error>

namespace vorlan::platform::posix {
namespace {

bool was_taken(const ReplaceBatch::Outcome &outcome, std::size_t index) {
    return std::find(outcome.taken.begin(), outcome.taken.end(), index) != outcome.taken.end();
}

// The batch moves into the thread, which alone touches it from then on.
std::optional<std::future<ReplaceBatch::Outcome>> publish_elsewhere(ReplaceBatch batch) {
    try {
        return std::async(std::launch::async,
                          [published = std::move(batch)]() mutable { return published.publish(); });
    } catch (const std::system_error &) {
        return std::nullopt; // no thread to be had: its drafts are gone with it
    }
}

} // namespace

CopyFailure CopiedFiles::copy(const FileAt &source, const FileAt &target, bool target_known_absent,
                              std::string shown) {
    const std::size_t waiting_before = batch_.size();
    const CopyFailure failure = copy_file_to(source, target, target_known_absent, batch_);
    if (failure != CopyFailure::none) {
        const CopyFailure earlier = complete();
        return earlier != CopyFailure::none ? earlier : failure;
    }
    const bool waits = batch_.size() > waiting_before;
    if (!waits && unlisted_.empty() && !in_flight_) {
        list(shown);
    } else {
        unlisted_.push_back({std::move(shown), waits, waits ? source.whole_path() : "",
                             waits ? target.whole_path() : ""});
    }
    return batch_.full() ? hand_over() : CopyFailure::none;
}

CopyFailure CopiedFiles::complete() {
    CopyFailure failure = finish_in_flight();
    if (failure == CopyFailure::none) {
        failure = list_published(batch_.publish(), unlisted_);
    }
    drop_waiting();
    return failure;
}

// The batch before must be listed first, so it is waited for here, and the
// one handed over now is published while the next fills.
CopyFailure CopiedFiles::hand_over() {
    if (const CopyFailure failure = finish_in_flight(); failure != CopyFailure::none) {
        drop_waiting();
        return failure;
    }
    // Files it replaces still hold their old bytes until it is published:
    // the next batch must not take them for copies already in place.
    ReplaceBatch next = batch_.successor();
    auto outcome = publish_elsewhere(std::move(batch_));
    batch_ = std::move(next);
    if (!outcome) {
        unlisted_.clear();
        return failure_from_errno(EAGAIN);
    }
    in_flight_ = InFlight{std::move(*outcome), std::move(unlisted_)};
    unlisted_.clear();
    return CopyFailure::none;
}

CopyFailure CopiedFiles::finish_in_flight() {
    if (!in_flight_) {
        return CopyFailure::none;
    }
    const ReplaceBatch::Outcome outcome = in_flight_->outcome.get();
    const std::vector<Unlisted> files = std::move(in_flight_->files);
    in_flight_.reset();
    return list_published(outcome, files);
}

CopyFailure CopiedFiles::list_published(const ReplaceBatch::Outcome &outcome,
                                        const std::vector<Unlisted> &files) {
    std::size_t waited = 0;
    for (const Unlisted &file : files) {
        if (file.waits) {
            const std::size_t index = waited++;
            if (index >= outcome.published) {
                return failure_from_errno(outcome.error);
            }
            // Another run made the file since its directory was read.
            if (was_taken(outcome, index)) {
                if (const CopyFailure failure = copy_file_to(file.source, file.target, false);
                    failure != CopyFailure::none) {
                    return failure;
                }
            }
        }
        list(file.shown);
    }
    return CopyFailure::none;
}

// After a failure nothing more is listed; drafts not yet named vanish.
void CopiedFiles::drop_waiting() {
    batch_ = batch_.successor();
    unlisted_.clear();
}

void CopiedFiles::list(const std::string &shown) {
    if (!shown.empty()) {
        output_.say(shown);
    }
    ++count_;
}

} // namespace vorlan::platform::posix
