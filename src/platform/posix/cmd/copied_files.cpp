#include "platform/posix/cmd/copied_files.h"

namespace vorlan::platform::posix {

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
        unlisted_.push_back({std::move(shown), waits});
    }
    return batch_.full() ? complete() : CopyFailure::none;
}

CopyFailure CopiedFiles::complete() {
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
