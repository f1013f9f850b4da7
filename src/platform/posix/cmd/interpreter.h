#pragma once
// The in-process stand-in for cmd: it carries out the copy and xcopy command
// lines the installer issues, and nothing else, without starting any process.

#include "platform/posix/cmd/command_line.h"
#include "platform/posix/cmd/command_output.h"
#include "platform/posix/directory_listing.h"
#include "platform/posix/file_copy.h"

#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace vorlan::platform::posix {

// Runs a parsed command line with its normal output to `out` and complaints
// to `err`; the exit status cmd would give (0 for success, otherwise 1).
int run_parsed_command(const ParsedCommand &command, std::FILE *out, std::FILE *err);

int run_copy(const ParsedCommand &command, const CommandOutput &output);
int run_xcopy(const ParsedCommand &command, const CommandOutput &output);

// Ends a copy command: its complaint, if any, then the line that counts the
// files; the exit status follows from the complaint.
int finish(const CommandOutput &output, std::string_view complaint, std::string_view count_line);

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

// Adds the names a destination directory holds, for the lookups of a copy.
CopyFailure read_names(const std::filesystem::path &directory, CaseInsensitiveNames &names);

} // namespace vorlan::platform::posix
