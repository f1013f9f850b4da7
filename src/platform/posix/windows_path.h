#pragma once
// The textual side of host_path, which the command interpreter, tests and
// fuzzers use on its own.

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vorlan::platform::posix {

enum class PathAnchor {
    nothing,           // the empty string
    drive,             // "X:\..."
    drive_relative,    // "X:..." from the current directory of drive X
    current_drive,     // "\..." on the drive of the current directory
    current_directory, // no drive and no leading separator
    network,           // "\\server\share" and the like
};

struct ParsedWindowsPath {
    PathAnchor anchor = PathAnchor::nothing;
    char drive = '\0'; // lower-case, for the two drive anchors only
    int levels_up = 0; // leading ".." of a relative path, applied to its start
    // Without ".", empty ones and resolved "..", and trimmed as Windows trims
    // them: one dot off the end of each, dots and spaces off the end of the path.
    std::vector<std::string> components;
};

bool is_windows_separator(char c);
// Purely textual; touches no file.
ParsedWindowsPath parse_windows_path(std::string_view windows_path);

// True when `path` is `ancestor` or lies below it, comparing whole components.
bool is_within(const std::filesystem::path &ancestor, const std::filesystem::path &path);

} // namespace vorlan::platform::posix
