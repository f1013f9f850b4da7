#include "platform/posix/cmd/copied_files.h"
#include "platform/posix/cmd/interpreter.h"
#include "platform/posix/cmd/typed_path.h"
#include "platform/posix/cmd/wildcard.h"
#include "platform/posix/directory_listing.h"
#include "platform/posix/windows_path.h"
#include "platform/windows_path.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <optional>
#include <system_error>
#include <utility>
#include <vector>

namespace vorlan::platform::posix {
namespace {

namespace fs = std::filesystem;

struct TreeSource {
    fs::path root;
    std::string pattern;      // matched against file names at every level
    std::string shown_prefix; // the source directory as typed
};

// A destination directory is looked at, or made, only when a file goes into
// it, so that source directories without matching files leave no trace.
struct DestinationDirectory {
    DestinationDirectory *parent = nullptr;
    std::string name; // spelled as in the source
    fs::path path;    // set for the root, found or made for the others
    bool ready = false;
    CaseInsensitiveNames names; // what it holds, read once or known since we made it
};

// A directory named without a pattern stands for all its files.
std::optional<TreeSource> find_tree_source(std::string_view typed) {
    const TypedPath split = split_last_component(typed);
    if (!has_wildcard(split.last)) {
        const auto host = host_path(typed);
        if (host && is_existing_directory(*host)) {
            return TreeSource{*host, "*", shown_prefix_of_directory(typed)};
        }
    }
    auto directory = host_directory(split.directory);
    if (!directory || !is_existing_directory(*directory)) {
        return std::nullopt;
    }
    return TreeSource{std::move(*directory), std::string(split.last), std::string(split.directory)};
}

std::string pattern_named_in(std::string_view typed) {
    const std::string_view last = split_last_component(typed).last;
    return std::string(last.empty() ? typed : last);
}

bool is_cyclic(const fs::path &source_root, const fs::path &destination) {
    std::error_code source_error;
    std::error_code target_error;
    const fs::path source = fs::canonical(source_root, source_error);
    const fs::path target = fs::weakly_canonical(destination, target_error);
    return !source_error && !target_error && is_within(source, target);
}

class TreeCopy {
  public:
    TreeCopy(const TreeSource &source, const CommandOutput &output, std::size_t most_waiting)
        : source_(source), output_(output), files_(output, most_waiting) {}

    // False after a failure, which has been reported.
    bool copy_directory(const fs::path &from, DestinationDirectory &to, const std::string &shown) {
        DirectoryListing listing = list_directory(from, EntryTypes::resolve);
        if (listing.error != 0) {
            return fail(cmd_error_from_errno(listing.error));
        }
        const std::pair identity{listing.device, listing.inode};
        if (std::find(open_.begin(), open_.end(), identity) != open_.end()) {
            return true; // a link back up the tree; going in would never end
        }
        open_.push_back(identity);
        listing.sort_ignoring_case();
        const bool done =
            copy_files(from, listing, to, shown) && copy_subdirectories(from, listing, to, shown);
        open_.pop_back();
        return done;
    }

    // False after a failure to put the last files in place, which has been reported.
    bool publish_waiting() {
        const CmdError failure = files_.publish_waiting();
        return failure == CmdError::none || fail(failure);
    }

    int copied() const { return files_.count(); }

  private:
    // The directories are opened once for all their files: the system then
    // looks up a name, not a whole path, for each.
    bool copy_files(const fs::path &from, const DirectoryListing &listing, DestinationDirectory &to,
                    const std::string &shown) {
        std::optional<DirectoryHandle> source_directory;
        std::optional<DirectoryHandle> target_directory;
        for (const DirectoryListing::Entry &entry : listing.entries()) {
            const std::string_view name = listing.name(entry);
            if (entry.type != EntryType::regular_file || !wildcard_matches(source_.pattern, name)) {
                continue;
            }
            if (const CmdError failure = prepare(to); failure != CmdError::none) {
                return fail(failure);
            }
            if (!source_directory) {
                source_directory.emplace(from.native());
                target_directory.emplace(to.path.native());
            }
            if (!copy_file(*source_directory, name, *target_directory, to, shown)) {
                return false;
            }
        }
        return true;
    }

    bool copy_subdirectories(const fs::path &from, const DirectoryListing &listing,
                             DestinationDirectory &to, const std::string &shown) {
        for (const DirectoryListing::Entry &entry : listing.entries()) {
            if (entry.type != EntryType::directory) {
                continue;
            }
            const std::string_view name = listing.name(entry);
            DestinationDirectory subdirectory;
            subdirectory.parent = &to;
            subdirectory.name = name;
            if (!copy_directory(from / name, subdirectory, shown + std::string(name) + '\\')) {
                return false;
            }
        }
        return true;
    }

    bool copy_file(const DirectoryHandle &from, std::string_view name, const DirectoryHandle &into,
                   DestinationDirectory &to, const std::string &shown) {
        const auto existing = to.names.find(name);
        const bool absent = !existing;
        const CmdError failure =
            files_.copy(from.file(name), into.file(absent ? name : *existing),
                        absent ? TargetLookup::known_absent : TargetLookup::look_up,
                        source_.shown_prefix + shown + std::string(name));
        if (failure != CmdError::none) {
            return fail(failure);
        }
        if (absent) {
            to.names.add(name);
        }
        return true;
    }

    CmdError prepare(DestinationDirectory &directory) {
        if (directory.ready) {
            return CmdError::none;
        }
        if (directory.parent == nullptr) {
            return prepare_root(directory);
        }
        DestinationDirectory &parent = *directory.parent;
        if (const CmdError failure = prepare(parent); failure != CmdError::none) {
            return failure;
        }
        if (const auto existing = parent.names.find(directory.name)) {
            directory.path = parent.path / *existing;
            return read_existing_names(directory);
        }
        directory.path = parent.path / directory.name;
        if (::mkdir(directory.path.c_str(), 0777) != 0) {
            return cmd_error_from_errno(errno);
        }
        files_.directory_made(parent.path.native(), directory.path.native());
        parent.names.add(directory.name);
        directory.ready = true; // and empty: nothing to look up in it
        return CmdError::none;
    }

    CmdError prepare_root(DestinationDirectory &root) {
        if (is_existing_directory(root.path)) {
            return read_existing_names(root);
        }
        std::vector<fs::path> made;
        for (fs::path level = root.path; !level.empty() && !is_existing_directory(level);
             level = level.parent_path()) {
            made.push_back(level);
        }
        std::error_code error;
        fs::create_directories(root.path, error);
        if (error) {
            return cmd_error_from_errno(error.value());
        }
        for (const fs::path &level : made) {
            files_.directory_made(level.parent_path().native(), level.native());
        }
        root.ready = true;
        return CmdError::none;
    }

    CmdError read_existing_names(DestinationDirectory &directory) {
        const int error = read_names(directory.path, directory.names);
        directory.ready = error == 0;
        if (directory.ready) {
            files_.writing_into(directory.path.native());
        }
        return cmd_error_from_errno(error);
    }

    // What was copied before the failure is listed before it.
    bool fail(CmdError failure) {
        const CmdError earlier = files_.publish_waiting();
        output_.complain(cmd_says::complaint(earlier != CmdError::none ? earlier : failure));
        return false;
    }

    const TreeSource &source_;
    const CommandOutput &output_;
    CopiedFiles files_;
    std::vector<std::pair<dev_t, ino_t>> open_; // the directories being walked
};

} // namespace

int run_xcopy(const ParsedCommand &command, const CommandOutput &output, std::size_t most_waiting) {
    const std::string not_found = cmd_says::xcopy_file_not_found(pattern_named_in(command.source));
    const auto source = find_tree_source(command.source);
    if (!source) {
        return finish(output, not_found, cmd_says::xcopy_count(0));
    }
    const auto destination = host_path(command.destination);
    if (!destination) {
        return finish(output, cmd_says::complaint(CmdError::path_not_found),
                      cmd_says::xcopy_count(0));
    }
    if (is_cyclic(source->root, *destination)) {
        return finish(output, cmd_says::cyclic_copy, cmd_says::xcopy_count(0));
    }
    DestinationDirectory root;
    root.path = *destination;
    TreeCopy tree(*source, output, most_waiting);
    const bool completed = tree.copy_directory(source->root, root, "") && tree.publish_waiting();
    const bool found_any = tree.copied() > 0;
    if (completed && !found_any) {
        output.complain(not_found);
    }
    output.say(cmd_says::xcopy_count(tree.copied()));
    return completed && found_any ? 0 : 1;
}

} // namespace vorlan::platform::posix
