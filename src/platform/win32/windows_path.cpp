#include "platform/windows_path.h"

namespace vorlan::platform {

std::optional<std::filesystem::path> host_path(std::string_view windows_path) {
    if (windows_path.empty()) {
        return std::nullopt;
    }
    return std::filesystem::path(windows_path);
}

} // namespace vorlan::platform
