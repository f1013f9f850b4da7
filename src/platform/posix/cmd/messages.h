#pragma once
// Everything the emulated cmd prints, word for word as cmd prints it: the
// copy engine and the commands report a CmdError or a situation, and these
// word it.

#include <string>
#include <string_view>

namespace vorlan::platform::posix {

// The Windows errors cmd reports when a copy fails.
enum class CmdError {
    none,
    onto_itself,
    access_denied,
    file_not_found,
    path_not_found,
    already_exists,
    disk_full,
    name_too_long,
    device_error,
};

// The error Windows would give where POSIX gave `error`, an errno value.
CmdError cmd_error_from_errno(int error);

namespace cmd_says {

std::string_view complaint(CmdError error);

inline constexpr std::string_view bad_syntax = "The syntax of the command is incorrect.";
inline constexpr std::string_view bad_name =
    "The filename, directory name, or volume label syntax is incorrect.";
// cmd would join the files into one; nothing here wants that.
inline constexpr std::string_view several_onto_one = "Cannot copy several files onto one file.";
inline constexpr std::string_view cyclic_copy = "Cannot perform a cyclic copy";

// Two lines, for a command this interpreter does not know.
std::string not_recognized(std::string_view name_as_typed);
std::string xcopy_file_not_found(std::string_view pattern);
// The last line of copy, and of xcopy.
std::string copy_count(int files);
std::string xcopy_count(int files);

} // namespace cmd_says
} // namespace vorlan::platform::posix
