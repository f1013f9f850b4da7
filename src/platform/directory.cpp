#include "platform/directory.h"

#include "platform/windows_path.h"

#include <system_error>

namespace vorlan::platform {

RecordedDirectory record_current_directory() {
    std::error_code error;
    return {std::filesystem::current_path(error)};
}

bool change_directory(std::string_view windows_path) {
    const auto path = host_path(windows_path);
    std::error_code error;
    if (!path) {
        return false;
    }
    std::filesystem::current_path(*path, error);
    return !error;
}

bool change_back(const RecordedDirectory &recorded) {
    std::error_code error;
    std::filesystem::current_path(recorded.where, error);
    return !error;
}

bool make_directory(std::string_view windows_path) {
    const auto path = host_path(windows_path);
    std::error_code error;
    return path && std::filesystem::create_directory(*path, error);
}

} // namespace vorlan::platform
