#include "platform/command.h"

#include "platform/posix/interpreter.h"
#include "platform/posix/path_lookup.h"
#include "platform/windows_path.h"

#include <system_error>

namespace vorlan::platform {
namespace posix {
namespace {

void complain_not_recognized(const ParsedCommand &command, const CommandOutput &output) {
    output.complain("'" + command.name_as_typed +
                    "' is not recognized as an internal or external command,");
    output.complain("operable program or batch file.");
}

bool is_drive_only(std::string_view typed) {
    return typed.size() == 2 && parse_windows_path(typed).anchor == PathAnchor::drive;
}

} // namespace

int run_parsed_command(const ParsedCommand &command, std::FILE *out, std::FILE *err) {
    const CommandOutput output(out, err, command.discard_output);
    switch (command.kind) {
    case ParsedCommand::Kind::nothing:
        return 0;
    case ParsedCommand::Kind::copy:
        return run_copy(command, output);
    case ParsedCommand::Kind::xcopy:
        return run_xcopy(command, output);
    case ParsedCommand::Kind::not_recognized:
        complain_not_recognized(command, output);
        return 1;
    case ParsedCommand::Kind::bad_syntax:
        output.complain("The syntax of the command is incorrect.");
        return 1;
    }
    return 1;
}

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
    auto host = host_path(typed_directory.empty() ? std::string_view(".") : typed_directory);
    if (!host || host->empty()) {
        return std::nullopt;
    }
    return host;
}

bool is_existing_directory(const std::filesystem::path &path) {
    std::error_code error;
    return std::filesystem::is_directory(path, error);
}

} // namespace posix

int run_command(const std::string &command_line) {
    // What the program printed before must come out before the command's lines.
    std::fflush(stdout);
    const int status =
        posix::run_parsed_command(posix::parse_command_line(command_line), stdout, stderr);
    std::fflush(stdout);
    return status;
}

} // namespace vorlan::platform
