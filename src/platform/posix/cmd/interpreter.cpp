#include "platform/posix/cmd/interpreter.h"

#include "platform/posix/directory_listing.h"
#include "platform/posix/draft.h"
#include "platform/posix/windows_path.h"
#include "platform/windows_path.h"

#include <system_error>

namespace vorlan::platform::posix {
namespace {

void complain_not_recognized(const ParsedCommand &command, const CommandOutput &output) {
    output.complain("'" + command.name_as_typed +
                    "' is not recognized as an internal or external command,");
    output.complain("operable program or batch file.");
}

bool is_drive_only(std::string_view typed) {
    return typed.size() == 2 && parse_windows_path(typed).anchor == PathAnchor::drive_relative;
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

int finish(const CommandOutput &output, std::string_view complaint, std::string_view count_line) {
    if (!complaint.empty()) {
        output.complain(complaint);
    }
    output.say(count_line);
    return complaint.empty() ? 0 : 1;
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
    return host_path(typed_directory.empty() ? std::string_view(".") : typed_directory);
}

bool is_existing_directory(const std::filesystem::path &path) {
    std::error_code error;
    return std::filesystem::is_directory(path, error);
}

CopyFailure read_names(const std::filesystem::path &directory, CaseInsensitiveNames &names) {
    const DirectoryListing listing = list_directory(directory, EntryTypes::leave_unknown);
    if (listing.error != 0) {
        return failure_from_errno(listing.error);
    }
    for (const DirectoryEntry &entry : listing.entries) {
        // A directory we write to is cleared of what killed runs left there.
        if (!remove_if_stale_draft(directory.native(), entry.name)) {
            names.add(entry.name);
        }
    }
    return CopyFailure::none;
}

} // namespace vorlan::platform::posix
