#include "platform/posix/cmd/copied_files.h"

#include <algorithm>
#include <cerrno>
#include <system_error>

namespace vorlan::platform::posix {
namespace {

bool was_taken(const PublishBatch::Outcome &outcome, std::size_t index) {
    return std::find(outcome.taken.begin(), outcome.taken.end(), index) != outcome.taken.end();
}

// Another run made the file since its directory was read: what stands there
// now is compared or replaced like any target.
CmdError copy_again(const std::string &source, const std::string &target) {
    for (;;) {
        PublishBatch batch;
        if (const CmdError error =
                copy_file_to(FileAt::by_whole_path(source), FileAt::by_whole_path(target),
                             TargetLookup::look_up, batch);
            error != CmdError::none) {
            return error;
        }
        const PublishBatch::Outcome outcome = batch.publish();
        if (outcome.error != 0 || outcome.taken.empty()) {
            return cmd_error_from_errno(outcome.error);
        }
    }
}

// The batch moves into the thread, which alone touches it from then on.
std::optional<std::future<PublishBatch::Outcome>> publish_elsewhere(PublishBatch batch) {
    try {
        return std::async(std::launch::async,
                          [published = std::move(batch)]() mutable { return published.publish(); });
    } catch (const std::system_error &) {
        return std::nullopt; // no thread to be had: its drafts are gone with it
    }
}

} // namespace

CmdError CopiedFiles::copy(const FileAt &source, const FileAt &target, TargetLookup lookup,
                           std::string shown) {
    const std::size_t waiting_before = batch_.size();
    const CmdError failure = copy_file_to(source, target, lookup, batch_);
    if (failure != CmdError::none) {
        const CmdError earlier = publish_waiting();
        return earlier != CmdError::none ? earlier : failure;
    }
    const bool waits = batch_.size() > waiting_before;
    if (!waits && unlisted_.empty() && !in_flight_) {
        list(shown);
    } else {
        unlisted_.push_back({std::move(shown), waits, waits ? source.whole_path() : "",
                             waits ? target.whole_path() : ""});
    }
    return batch_.full() ? hand_over() : CmdError::none;
}

CmdError CopiedFiles::publish_waiting() {
    CmdError failure = finish_in_flight();
    if (failure == CmdError::none) {
        failure = list_published(batch_.publish(), unlisted_);
    }
    drop_waiting();
    return failure;
}

// The batch before must be listed first, so it is waited for here, and the
// one handed over now is published while the next fills.
CmdError CopiedFiles::hand_over() {
    if (const CmdError failure = finish_in_flight(); failure != CmdError::none) {
        drop_waiting();
        return failure;
    }
    // Files it replaces still hold their old bytes until it is published:
    // the next batch must not take them for copies already in place.
    PublishBatch next = batch_.successor();
    auto outcome = publish_elsewhere(std::move(batch_));
    batch_ = std::move(next);
    if (!outcome) {
        unlisted_.clear();
        return cmd_error_from_errno(EAGAIN);
    }
    in_flight_ = InFlight{std::move(*outcome), std::move(unlisted_)};
    unlisted_.clear();
    return CmdError::none;
}

CmdError CopiedFiles::finish_in_flight() {
    if (!in_flight_) {
        return CmdError::none;
    }
    const PublishBatch::Outcome outcome = in_flight_->outcome.get();
    const std::vector<Unlisted> files = std::move(in_flight_->files);
    in_flight_.reset();
    return list_published(outcome, files);
}

CmdError CopiedFiles::list_published(const PublishBatch::Outcome &outcome,
                                     const std::vector<Unlisted> &files) {
    std::size_t waited = 0;
    for (const Unlisted &file : files) {
        if (file.waits) {
            const std::size_t index = waited++;
            if (index >= outcome.published) {
                return cmd_error_from_errno(outcome.error);
            }
            if (was_taken(outcome, index)) {
                if (const CmdError error = copy_again(file.source, file.target);
                    error != CmdError::none) {
                    return error;
                }
            }
        }
        list(file.shown);
    }
    return CmdError::none;
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
