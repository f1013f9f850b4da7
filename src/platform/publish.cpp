#include "platform/publish.h"

#include <system_error>
#include <utility>

namespace vorlan::platform {

DraftFile::~DraftFile() {
    // Closed before the temporary goes: an open file cannot be removed everywhere.
    if (stream_ != nullptr) {
        std::fclose(stream_);
    }
}

bool DraftFile::open(const std::filesystem::path &target) {
    if (stream_ != nullptr) {
        std::fclose(stream_);
    }
    stream_ = nullptr;
    temporary_ = make(target, stream_);
    return temporary_ != nullptr;
}

Publication DraftFile::publish(PublishMode mode) {
    if (!temporary_ || stream_ == nullptr) {
        return Publication::failed;
    }
    const Publication publication = name(*temporary_, std::exchange(stream_, nullptr), mode);
    temporary_.reset();
    return publication;
}

bool remove_link_at(const std::filesystem::path &path) {
    std::error_code error;
    return !std::filesystem::is_symlink(path, error) || std::filesystem::remove(path, error);
}

} // namespace vorlan::platform
