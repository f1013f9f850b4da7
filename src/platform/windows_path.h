#pragma once
// Paths stay in their Windows form throughout the program; they are translated
// only at the moment a file or directory is touched.

#include <filesystem>
#include <optional>
#include <string_view>

namespace vorlan::platform {

// The host path that a Windows path names, or nothing when it names no place:
// the empty path, or a drive this machine does not have. On Windows this is the path itself. On
// POSIX a drive letter maps through $WINEPREFIX/dosdevices the way Wine maps it, and each existing
// component is found case-insensitively.
std::optional<std::filesystem::path> host_path(std::string_view windows_path);

} // namespace vorlan::platform
