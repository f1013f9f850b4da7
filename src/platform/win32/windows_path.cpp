#include "platform/windows_path.h"

namespace vorlan::platform {

std::optional<std::filesystem::path> host_path(std::string_view windows_path) {
    return std::filesystem::path(windows_path);
}

} // namespace vorlan::platform
