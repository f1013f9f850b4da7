#pragma once
// The paths of a command line as typed, and the host paths they name.

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace vorlan::platform::posix {

struct TypedPath {
    std::string_view directory; // as typed, with its trailing separator if any
    std::string_view last;      // the last component, perhaps a pattern
};

// "C:\dir\*.txt" is "C:\dir\" and "*.txt"; "C:*.txt" is "C:" and "*.txt".
TypedPath split_last_component(std::string_view typed);

// How a directory written as `typed` begins the names of its files in output.
std::string shown_prefix_of_directory(std::string_view typed);

// The host directory named by the directory part of a typed path; the empty
// part is the current directory.
std::optional<std::filesystem::path> host_directory(std::string_view typed_directory);

bool is_existing_directory(const std::filesystem::path &path);

} // namespace vorlan::platform::posix
