#include "platform/posix/cmd/copied_files.h"

#include <algorithm>

namespace vorlan::platform::posix {
namespace {

bool was_taken(const ReplaceBatch::Outcome &outcome, std::size_t index) {
    return std::find(outcome.taken.begin(), outcome.taken.end(), index) != outcome.taken.end();
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
    if (!waits && unlisted_.empty()) {
        list(shown);
    } else {
        unlisted_.push_back({std::move(shown), waits, waits ? source.whole_path() : "",
                             waits ? target.whole_path() : ""});
    }
    return batch_.full() ? complete() : CopyFailure::none;
}

CopyFailure CopiedFiles::complete() {
    const ReplaceBatch::Outcome outcome = batch_.publish();
    CopyFailure failure = CopyFailure::none;
    std::size_t waited = 0;
    for (const Unlisted &file : unlisted_) {
        if (file.waits) {
            const std::size_t index = waited++;
            if (index >= outcome.published) {
                failure = failure_from_errno(outcome.error);
                break;
            }
            // Another run made the file since its directory was read.
            if (was_taken(outcome, index)) {
                failure = copy_file_to(file.source, file.target, false);
                if (failure != CopyFailure::none) {
                    break;
                }
            }
        }
        list(file.shown);
    }
    unlisted_.clear();
    return failure;
}

void CopiedFiles::list(const std::string &shown) {
    if (!shown.empty()) {
        output_.say(shown);
    }
    ++count_;
}

} // namespace vorlan::platform::posix
