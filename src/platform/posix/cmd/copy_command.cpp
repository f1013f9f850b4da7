#include "platform/posix/cmd/copied_files.h"
#include "platform/posix/cmd/interpreter.h"
#include "platform/posix/cmd/typed_path.h"
#include "platform/posix/cmd/wildcard.h"
#include "platform/posix/directory_listing.h"
#include "platform/posix/windows_path.h"
#include "platform/windows_path.h"

#include <system_error>
#include <vector>

namespace vorlan::platform::posix {
namespace {

namespace fs = std::filesystem;

struct SourceFile {
    fs::path path;
    std::string name; // as on disk
};

struct Sources {
    std::vector<SourceFile> files; // in the order they are copied
    bool show_names = false;       // each file is listed when a pattern chose it
    std::string shown_prefix;
};

struct Destination {
    fs::path path;
    bool is_directory = false;
    CaseInsensitiveNames names; // of the directory
};

bool is_existing_regular_file(const fs::path &path) {
    std::error_code error;
    return fs::is_regular_file(path, error);
}

bool ends_with_separator(std::string_view typed) {
    return !typed.empty() && is_windows_separator(typed.back());
}

void add_matching_files(const fs::path &directory, std::string_view pattern, Sources &sources) {
    DirectoryListing listing = list_directory(directory, EntryTypes::resolve);
    if (listing.error != 0) {
        return;
    }
    listing.sort_ignoring_case();
    for (const DirectoryListing::Entry &entry : listing.entries()) {
        const std::string_view name = listing.name(entry);
        if (entry.type == EntryType::regular_file && wildcard_matches(pattern, name)) {
            sources.files.push_back({directory / name, std::string(name)});
        }
    }
}

// A directory given as the source stands for all the files in it, as in cmd.
Sources find_sources(std::string_view typed) {
    Sources sources;
    const TypedPath split = split_last_component(typed);
    if (has_wildcard(split.last)) {
        sources.show_names = true;
        sources.shown_prefix = split.directory;
        if (const auto directory = host_directory(split.directory)) {
            add_matching_files(*directory, split.last, sources);
        }
        return sources;
    }
    const auto host = host_path(typed);
    if (!host) {
        return sources;
    }
    if (is_existing_directory(*host)) {
        sources.show_names = true;
        sources.shown_prefix = shown_prefix_of_directory(typed);
        add_matching_files(*host, "*", sources);
    } else if (is_existing_regular_file(*host)) {
        sources.files.push_back({*host, host->filename().native()});
    }
    return sources;
}

// The empty view when the destination can take the files.
std::string_view find_destination(std::string_view typed, std::size_t source_count,
                                  Destination &destination) {
    const auto host = host_path(typed);
    if (!host) {
        return cmd_says::complaint(CmdError::path_not_found);
    }
    destination.path = *host;
    if (is_existing_directory(*host)) {
        if (const int error = read_names(*host, destination.names)) {
            return cmd_says::complaint(cmd_error_from_errno(error));
        }
        destination.is_directory = true;
        return {};
    }
    if (ends_with_separator(typed)) {
        return cmd_says::complaint(CmdError::path_not_found);
    }
    return source_count > 1 ? cmd_says::several_onto_one : std::string_view{};
}

CmdError copy_into(Destination &destination, const SourceFile &file, std::string shown,
                   CopiedFiles &copied) {
    const FileAt source = FileAt::by_whole_path(file.path.native());
    if (!destination.is_directory) {
        return copied.copy(source, FileAt::by_whole_path(destination.path.native()),
                           TargetLookup::look_up, std::move(shown));
    }
    const auto existing = destination.names.find(file.name);
    const bool absent = !existing;
    const FileAt target = FileAt::by_whole_path(
        joined_path(destination.path.native(), absent ? file.name : *existing));
    const CmdError failure =
        copied.copy(source, target, absent ? TargetLookup::known_absent : TargetLookup::look_up,
                    std::move(shown));
    if (failure == CmdError::none && absent) {
        destination.names.add(file.name);
    }
    return failure;
}

bool names_are_well_formed(const ParsedCommand &command) {
    return !has_wildcard(split_last_component(command.source).directory) &&
           !has_wildcard(command.destination);
}

} // namespace

int run_copy(const ParsedCommand &command, const CommandOutput &output, std::size_t most_waiting) {
    if (!names_are_well_formed(command)) {
        return finish(output, cmd_says::bad_name, cmd_says::copy_count(0));
    }
    const Sources sources = find_sources(command.source);
    if (sources.files.empty()) {
        return finish(output, cmd_says::complaint(CmdError::file_not_found),
                      cmd_says::copy_count(0));
    }
    Destination destination;
    const std::string_view unreachable =
        find_destination(command.destination, sources.files.size(), destination);
    if (!unreachable.empty()) {
        return finish(output, unreachable, cmd_says::copy_count(0));
    }
    CopiedFiles copied(output, most_waiting);
    copied.writing_into(destination.is_directory ? destination.path.native()
                                                 : destination.path.parent_path().native());
    for (const SourceFile &file : sources.files) {
        std::string shown = sources.show_names ? sources.shown_prefix + file.name : std::string();
        const CmdError failure = copy_into(destination, file, std::move(shown), copied);
        if (failure != CmdError::none) {
            return finish(output, cmd_says::complaint(failure),
                          cmd_says::copy_count(copied.count()));
        }
    }
    const CmdError failure = copied.publish_waiting();
    return finish(output,
                  failure == CmdError::none ? std::string_view{} : cmd_says::complaint(failure),
                  cmd_says::copy_count(copied.count()));
}

} // namespace vorlan::platform::posix
