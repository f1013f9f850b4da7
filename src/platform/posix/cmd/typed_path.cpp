#include "platform/posix/cmd/typed_path.h"

#include "platform/posix/windows_path.h"
#include "platform/windows_path.h"

#include <system_error>

namespace vorlan::platform::posix {
namespace {

bool is_drive_only(std::string_view typed) {
    return typed.size() == 2 && parse_windows_path(typed).anchor == PathAnchor::drive_relative;
}

} // namespace

TypedPath split_last_component(std::string_view typed) {
    std::size_t split = typed.find_last_of("\\/");
    if (split == std::string_view::npos) {
        split = is_drive_only(typed.substr(0, 2)) ? 1 : std::string_view::npos;
    }
    if (split == std::string_view::npos) {
        return {typed.substr(0, 0), typed};
    }
    return {typed.substr(0, split + 1), typed.substr(split + 1)};
}

std::string shown_prefix_of_directory(std::string_view typed) {
    std::string prefix(typed);
    if (!typed.empty() && !is_windows_separator(typed.back()) && !is_drive_only(typed)) {
        prefix.push_back('\\');
    }
    return prefix;
}

std::optional<std::filesystem::path> host_directory(std::string_view typed_directory) {
    return host_path(typed_directory.empty() ? std::string_view(".") : typed_directory);
}

bool is_existing_directory(const std::filesystem::path &path) {
    std::error_code error;
    return std::filesystem::is_directory(path, error);
}

} // namespace vorlan::platform::posix
