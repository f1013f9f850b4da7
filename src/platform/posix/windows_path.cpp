#include "platform/windows_path.h"

#include "platform/posix/windows_path.h"

#include "platform/posix/ascii.h"
#include "platform/posix/directory_listing.h"

#include <pwd.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <iterator>
#include <system_error>

namespace vorlan::platform {
namespace posix {
namespace {

namespace fs = std::filesystem;

// $WINEPREFIX, or ~/.wine as Wine defaults; nothing when no home is known.
std::optional<fs::path> wine_prefix();

bool is_ascii_letter(char c) {
    return ascii_lower(c) >= 'a' && ascii_lower(c) <= 'z';
}

bool starts_with_drive(std::string_view text) {
    return text.size() >= 2 && is_ascii_letter(text[0]) && text[1] == ':';
}

bool is_drive_entry_name(std::string_view name) {
    return name.size() == 2 && name[0] >= 'a' && name[0] <= 'z' && name[1] == ':';
}

// Windows drops the one dot that ends a component ("Program Files." is
// "Program Files"); a name that ends in more dots keeps them all.
std::string_view without_single_final_dot(std::string_view component) {
    const std::size_t size = component.size();
    if (size >= 2 && component[size - 1] == '.' && component[size - 2] != '.') {
        component.remove_suffix(1);
    }
    return component;
}

// The end of a path loses every dot and space it ends in.
std::string_view without_final_dots_and_spaces(std::string_view component) {
    const std::size_t last_kept = component.find_last_not_of(". ");
    return component.substr(0, last_kept == std::string_view::npos ? 0 : last_kept + 1);
}

bool is_step(std::string_view component) {
    return component == "." || component == "..";
}

void climb(ParsedWindowsPath &parsed) {
    if (!parsed.components.empty()) {
        parsed.components.pop_back();
    } else if (parsed.anchor == PathAnchor::current_directory ||
               parsed.anchor == PathAnchor::drive_relative) {
        ++parsed.levels_up;
    } // else: ".." at a drive root stays at the root, as on Windows
}

// A name made only of dots and spaces ends the path at its separator, so
// "C:\a\.. " is C:\a and not its parent.
void add_component(ParsedWindowsPath &parsed, std::string_view component, bool ends_path) {
    if (component == "..") {
        climb(parsed);
        return;
    }
    if (component.empty() || component == ".") {
        return;
    }
    const std::string_view name =
        ends_path ? without_final_dots_and_spaces(component) : without_single_final_dot(component);
    if (!name.empty()) {
        parsed.components.emplace_back(name);
    }
}

// After a final "." or "..", the component before it ends the path, and
// loses its dots and spaces then: "C:\a \b\.." is C:\a.
void trim_new_end(ParsedWindowsPath &parsed) {
    if (parsed.components.empty()) {
        return;
    }
    parsed.components.back() = std::string(without_final_dots_and_spaces(parsed.components.back()));
    if (parsed.components.back().empty()) {
        parsed.components.pop_back();
    }
}

void split_components(ParsedWindowsPath &parsed, std::string_view rest) {
    std::size_t begin = 0;
    for (std::size_t i = 0; i <= rest.size(); ++i) {
        if (i == rest.size() || is_windows_separator(rest[i])) {
            add_component(parsed, rest.substr(begin, i - begin), i == rest.size());
            begin = i + 1;
        }
    }
    const std::size_t last_separator = rest.find_last_of("\\/");
    if (is_step(last_separator == std::string_view::npos ? rest
                                                         : rest.substr(last_separator + 1))) {
        trim_new_end(parsed);
    }
}

bool exists_as_spelled(const fs::path &path) {
    std::error_code error;
    const auto status = fs::symlink_status(path, error);
    return !error && status.type() != fs::file_type::not_found;
}

std::optional<fs::path> drive_root(char drive) {
    const auto prefix = wine_prefix();
    if (!prefix) {
        return std::nullopt;
    }
    fs::path entry = *prefix / "dosdevices" / std::string{drive, ':'};
    if (!exists_as_spelled(entry)) {
        return std::nullopt;
    }
    return entry;
}

struct DriveMatch {
    fs::path root;   // the dosdevices entry
    fs::path target; // where it leads, links resolved
    std::ptrdiff_t depth = 0;
};

// Deeper mappings hold the directory more closely; equal ones go to the
// earlier letter so that the answer does not depend on directory order.
bool holds_more_closely(const DriveMatch &candidate, const DriveMatch &best) {
    if (candidate.depth != best.depth) {
        return candidate.depth > best.depth;
    }
    return candidate.root.filename() < best.root.filename();
}

std::optional<DriveMatch> drive_holding(const fs::path &entry, const fs::path &directory) {
    std::error_code error;
    fs::path target = fs::canonical(entry, error);
    if (error || !is_within(target, directory)) {
        return std::nullopt;
    }
    const auto depth = std::distance(target.begin(), target.end());
    return DriveMatch{entry, std::move(target), depth};
}

// The current directory, links resolved, and the drive Wine puts it on:
// nothing when no mapping holds it, which Wine counts as Z:, the Unix root.
struct CurrentPlace {
    fs::path directory;
    std::optional<DriveMatch> drive;
};

std::optional<CurrentPlace> current_place() {
    std::error_code error;
    CurrentPlace place{fs::canonical(fs::current_path(error), error), std::nullopt};
    if (error) {
        return std::nullopt;
    }
    const auto prefix = wine_prefix();
    if (!prefix) {
        return place;
    }
    fs::directory_iterator entries(*prefix / "dosdevices", error);
    for (; !error && entries != fs::directory_iterator(); entries.increment(error)) {
        if (!is_drive_entry_name(entries->path().filename().native())) {
            continue;
        }
        auto match = drive_holding(entries->path(), place.directory);
        if (match && (!place.drive || holds_more_closely(*match, *place.drive))) {
            place.drive = std::move(match);
        }
    }
    return place;
}

std::optional<fs::path> current_drive_root() {
    const auto place = current_place();
    if (!place) {
        return std::nullopt;
    }
    return place->drive ? place->drive->root : fs::path("/");
}

bool is_on_drive(const CurrentPlace &place, char drive) {
    return place.drive && place.drive->root.filename().native().front() == drive;
}

// A process keeps a current directory for its own drive only; every other
// drive's is its root.
std::optional<fs::path> drive_relative_start(char drive, int levels_up) {
    const auto place = current_place();
    if (!place) {
        return std::nullopt;
    }
    if (!is_on_drive(*place, drive)) {
        return drive_root(drive);
    }
    std::vector<fs::path> inside;
    for (const fs::path &part : place->directory.lexically_relative(place->drive->target)) {
        if (part != ".") {
            inside.push_back(part);
        }
    }
    // ".." stops at the drive's root, as it does in "X:\..".
    inside.resize(inside.size() - std::min(inside.size(), static_cast<std::size_t>(levels_up)));
    fs::path start = place->drive->root;
    for (const fs::path &part : inside) {
        start /= part;
    }
    return start;
}

std::optional<fs::path> relative_start(int levels_up) {
    std::error_code error;
    fs::path start = fs::current_path(error);
    if (error) {
        return std::nullopt;
    }
    for (int level = 0; level < levels_up && start.has_relative_path(); ++level) {
        start = start.parent_path();
    }
    return start;
}

std::optional<fs::path> start_of(const ParsedWindowsPath &parsed) {
    switch (parsed.anchor) {
    case PathAnchor::drive:
        return drive_root(parsed.drive);
    case PathAnchor::drive_relative:
        return drive_relative_start(parsed.drive, parsed.levels_up);
    case PathAnchor::current_drive:
        return current_drive_root();
    case PathAnchor::current_directory:
        return relative_start(parsed.levels_up);
    case PathAnchor::nothing:
    case PathAnchor::network:
        break;
    }
    return std::nullopt;
}

} // namespace

bool is_windows_separator(char c) {
    return c == '\\' || c == '/';
}

ParsedWindowsPath parse_windows_path(std::string_view windows_path) {
    ParsedWindowsPath parsed;
    std::string_view rest = windows_path;
    if (windows_path.empty()) {
        parsed.anchor = PathAnchor::nothing;
        return parsed;
    }
    if (windows_path.size() >= 2 && is_windows_separator(windows_path[0]) &&
        is_windows_separator(windows_path[1])) {
        parsed.anchor = PathAnchor::network;
        return parsed;
    }
    if (starts_with_drive(windows_path)) {
        parsed.anchor = windows_path.size() > 2 && is_windows_separator(windows_path[2])
                            ? PathAnchor::drive
                            : PathAnchor::drive_relative;
        parsed.drive = ascii_lower(windows_path[0]);
        rest.remove_prefix(2);
    } else if (is_windows_separator(windows_path[0])) {
        parsed.anchor = PathAnchor::current_drive;
    } else {
        parsed.anchor = PathAnchor::current_directory;
    }
    split_components(parsed, rest);
    return parsed;
}

namespace {

std::optional<fs::path> wine_prefix() {
    const char *prefix = std::getenv("WINEPREFIX");
    if (prefix != nullptr && *prefix != '\0') {
        return fs::path(prefix);
    }
    const char *home = std::getenv("HOME");
    if (home != nullptr && *home != '\0') {
        return fs::path(home) / ".wine";
    }
    const passwd *user = getpwuid(getuid());
    if (user != nullptr && user->pw_dir != nullptr && *user->pw_dir != '\0') {
        return fs::path(user->pw_dir) / ".wine";
    }
    return std::nullopt;
}

// The spelling under which `name` exists in `directory` when it is not there
// exactly as given.
std::optional<std::string> entry_name_ignoring_case(const fs::path &directory,
                                                    std::string_view name) {
    const DirectoryListing listing = list_directory(directory, EntryTypes::leave_unknown);
    std::optional<std::string> found;
    for (const DirectoryListing::Entry &entry : listing.entries()) {
        const std::string_view spelling = listing.name(entry);
        if (ascii_iequal(spelling, name) && (!found || spelling < *found)) {
            found = spelling;
        }
    }
    return found;
}

// Follows `components` from `start`, each found case-insensitively until one
// is missing; that one and all after it keep the spelling given.
fs::path follow_components(fs::path start, const std::vector<std::string> &components) {
    bool still_existing = true;
    for (const std::string &component : components) {
        if (still_existing && !exists_as_spelled(start / component)) {
            const auto spelling = entry_name_ignoring_case(start, component);
            still_existing = spelling.has_value();
            start /= spelling ? *spelling : component;
            continue;
        }
        start /= component;
    }
    return start;
}

} // namespace

bool is_within(const fs::path &ancestor, const fs::path &path) {
    const auto mismatch = std::mismatch(ancestor.begin(), ancestor.end(), path.begin(), path.end());
    return mismatch.first == ancestor.end();
}

} // namespace posix

std::optional<std::filesystem::path> host_path(std::string_view windows_path) {
    // No Windows name holds a NUL, and the host would cut the path short at it.
    if (windows_path.find('\0') != std::string_view::npos) {
        return std::nullopt;
    }
    const posix::ParsedWindowsPath parsed = posix::parse_windows_path(windows_path);
    auto start = posix::start_of(parsed);
    if (!start) {
        return std::nullopt;
    }
    return posix::follow_components(std::move(*start), parsed.components);
}

} // namespace vorlan::platform
