// Windows paths of any bytes, resolved on a Wine prefix in a scratch folder:
// the parse is well formed and trimmed as Windows trims names, and the host
// path begins where the path's anchor says (its drive's dosdevices entry, the
// current directory on the drive that holds it, the root of that drive, or the
// current directory raised by the leading ".."), followed by the path's own
// components, each spelled as typed but for ASCII case.
#include "check.h"
#include "platform/posix/ascii.h"
#include "platform/posix/windows_path.h"
#include "platform/windows_path.h"
#include "support/wine_prefix.h"

#include <cstdint>
#include <iterator>
#include <string>
#include <system_error>
#include <vector>

namespace {

using namespace vorlan;
using namespace vorlan::platform::posix;
namespace fs = std::filesystem;

testing::WinePrefix *sandbox = nullptr;
fs::path drive_c;
fs::path current;
fs::path elsewhere; // what D: maps to, outside the prefix

void lay_out(const testing::WinePrefix &box) {
    drive_c = box.drive_c();
    elsewhere = box.tree() / "elsewhere" / "d";
    current = drive_c / "Work" / "Dist";
    fs::create_directories(current);
    fs::create_directories(drive_c / "work" / "dist");
    fs::create_directories(drive_c / "windows" / "Fonts");
    testing::write_file(
        drive_c / "Program Files" / "Apache Group" / "Apache" / "conf" / "httpd.conf", "x");
    testing::write_file(elsewhere / "Data" / "file.txt", "x");
    box.map_drive('d', elsewhere);
    box.map_drive('e', "../drive_c/Work"); // holds the current directory more closely than C:
}

bool has_drive(const ParsedWindowsPath &parsed) {
    return parsed.anchor == PathAnchor::drive || parsed.anchor == PathAnchor::drive_relative;
}

void check_parse(const ParsedWindowsPath &parsed) {
    for (const std::string &component : parsed.components) {
        fuzz::check(!component.empty() && component != "." && component != "..",
                    "components are neither empty nor dots");
        fuzz::check(component.find_first_of("\\/") == std::string::npos,
                    "components hold no separator");
        fuzz::check(!component.ends_with('.') || component.ends_with(".."),
                    "no component ends in a single dot");
    }
    fuzz::check(parsed.levels_up >= 0, "levels up are counted");
    fuzz::check(parsed.levels_up == 0 || parsed.anchor == PathAnchor::current_directory ||
                    parsed.anchor == PathAnchor::drive_relative,
                "only a relative path climbs above its start");
    fuzz::check((parsed.drive != '\0') == has_drive(parsed) &&
                    (parsed.drive == '\0' || (parsed.drive >= 'a' && parsed.drive <= 'z')),
                "a drive path has a lower-case drive letter");
}

// A name that ends the path ends in no dot or space, and holds the rest of
// what was typed.
void check_last_name(std::string_view windows_path, const ParsedWindowsPath &parsed) {
    const std::string_view rest = windows_path.substr(has_drive(parsed) ? 2 : 0);
    const std::string_view last = rest.substr(rest.find_last_of("\\/") + 1);
    const std::size_t kept = last.find_last_not_of(". ");
    if (parsed.anchor == PathAnchor::network || last == "." || last == ".." ||
        kept == std::string_view::npos) {
        return;
    }
    fuzz::check(!parsed.components.empty() && parsed.components.back() == last.substr(0, kept + 1),
                "the last name loses the dots and spaces it ends in, and nothing else");
}

std::optional<fs::path> mapped_drive(char drive) {
    if (drive < 'c' || drive > 'e') {
        return std::nullopt;
    }
    return sandbox->dosdevices() / std::string{drive, ':'};
}

std::optional<fs::path> expected_start(const ParsedWindowsPath &parsed) {
    switch (parsed.anchor) {
    case PathAnchor::drive:
        return mapped_drive(parsed.drive);
    case PathAnchor::drive_relative:
        // E: holds the current directory, as E:\Dist; ".." stops at its root.
        if (parsed.drive == 'e' && parsed.levels_up == 0) {
            return *mapped_drive('e') / "Dist";
        }
        return mapped_drive(parsed.drive);
    case PathAnchor::current_drive:
        return sandbox->dosdevices() / "e:";
    case PathAnchor::current_directory: {
        fs::path start = current;
        for (int level = 0; level < parsed.levels_up && start.has_relative_path(); ++level) {
            start = start.parent_path();
        }
        return start;
    }
    case PathAnchor::nothing:
    case PathAnchor::network:
        break;
    }
    return std::nullopt;
}

// `host` is `start` and then the components, each equal but for ASCII case.
void check_resolved(const fs::path &host, const fs::path &start,
                    const std::vector<std::string> &components) {
    const std::vector<fs::path> parts(host.begin(), host.end());
    const std::vector<fs::path> start_parts(start.begin(), start.end());
    fuzz::check(parts.size() == start_parts.size() + components.size(),
                "the host path is its start and one part per component");
    fuzz::check(std::equal(start_parts.begin(), start_parts.end(), parts.begin()),
                "the host path begins where its anchor says");
    for (std::size_t i = 0; i < components.size(); ++i) {
        fuzz::check(ascii_iequal(parts[start_parts.size() + i].native(), components[i]),
                    "a component is found under its own name but for case");
    }
    // What the start leads to on disk holds the whole path, links followed.
    std::error_code error;
    const fs::path real_start = fs::canonical(start, error);
    const fs::path real_host = error ? fs::path() : fs::weakly_canonical(host, error);
    if (!error) {
        fuzz::check(is_within(real_start, real_host), "the path stays on its drive");
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    static testing::WinePrefix box("fuzz");
    sandbox = &box;
    lay_out(box);
    fs::current_path(current);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *bytes, std::size_t size) {
    const std::string windows_path(reinterpret_cast<const char *>(bytes), size);
    const ParsedWindowsPath parsed = parse_windows_path(windows_path);
    check_parse(parsed);
    check_last_name(windows_path, parsed);
    const auto host = platform::host_path(windows_path);
    if (windows_path.find('\0') != std::string::npos) {
        fuzz::check(!host, "a path holding NUL names nothing");
        return 0;
    }
    if (parsed.anchor == PathAnchor::nothing) {
        fuzz::check(!host, "the empty path names nothing");
        return 0;
    }
    const auto start = expected_start(parsed);
    fuzz::check(host.has_value() == start.has_value(),
                "a path resolves exactly when its drive is mapped");
    if (host) {
        check_resolved(*host, *start, parsed.components);
    }
    return 0;
}
