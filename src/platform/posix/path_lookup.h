#pragma once
// The pieces of host_path, separate so that tests and fuzzers can reach the
// pure parsing step and the case-insensitive lookup on their own.

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vorlan::platform::posix {

enum class PathAnchor {
    nothing,           // the empty string
    drive,             // "X:\..." or "X:..."
    current_drive,     // "\..." on the drive of the current directory
    current_directory, // no drive and no leading separator
    network,           // "\\server\share" and the like
};

struct ParsedWindowsPath {
    PathAnchor anchor = PathAnchor::nothing;
    char drive = '\0';                   // lower-case, for PathAnchor::drive only
    int levels_up = 0;                   // leading ".." of a relative path, applied to the host
    std::vector<std::string> components; // without ".", empty ones and resolved ".."
};

bool is_windows_separator(char c);
// Purely textual; touches no file.
ParsedWindowsPath parse_windows_path(std::string_view windows_path);

// $WINEPREFIX, or ~/.wine as Wine defaults; nothing when no home is known.
std::optional<std::filesystem::path> wine_prefix();

// The spelling under which `name` exists in `directory` when it is not there
// exactly as given: the byte-wise smallest entry equal to it but for ASCII case.
std::optional<std::string> entry_name_ignoring_case(const std::filesystem::path &directory,
                                                    std::string_view name);

// True when `path` is `ancestor` or lies below it, comparing whole components.
bool is_within(const std::filesystem::path &ancestor, const std::filesystem::path &path);

// Follows `components` from `start`, each found case-insensitively until one
// is missing; that one and all after it keep the spelling given.
std::filesystem::path follow_components(std::filesystem::path start,
                                        const std::vector<std::string> &components);

} // namespace vorlan::platform::posix
