// Command lines of any bytes through the POSIX interpreter: the tokens come
// from the line in order, and a command that runs changes nothing on disk
// but what its destination names. Every line is tried in a scratch machine
// that is laid out anew after a run changed it; a line naming anything
// outside the scratch folder is parsed but not run.
#include "check.h"
#include "platform/posix/cmd/command_line.h"
#include "platform/posix/cmd/interpreter.h"
#include "platform/posix/cmd/typed_path.h"
#include "platform/posix/windows_path.h"
#include "platform/windows_path.h"
#include "support/wine_prefix.h"

#include <sys/stat.h>

#include <cstdint>
#include <map>
#include <string>
#include <system_error>
#include <vector>

namespace {

using namespace vorlan;
using namespace vorlan::platform::posix;
namespace fs = std::filesystem;

testing::WinePrefix *sandbox = nullptr;
std::FILE *discarded = nullptr;

fs::path drive_c() {
    return sandbox->drive_c();
}

fs::path working_directory() {
    return drive_c() / "work";
}

void lay_out() {
    const fs::path work = working_directory();
    for (const char *name : {"a.txt", "B.JAR", "pja.jar", "mod_jk.dll", "v.war",
                             "htdocs/index.html", "htdocs/images/logo.gif", "sub/deep/d.war"}) {
        testing::write_file(work / name, std::string(name) + " bytes\r\n");
    }
    const fs::path apache = drive_c() / "Program Files" / "Apache";
    testing::write_file(apache / "conf" / "httpd.conf", "Listen 80\r\n");
    testing::write_file(apache / "conf" / "httpd.npm", "Listen 80\r\n#configured\r\n");
    fs::create_directories(apache / "htdocs");
    fs::create_directories(drive_c() / "pja_2.4" / "lib");
    testing::write_file(drive_c() / "readonly.txt", "old");
    fs::permissions(drive_c() / "readonly.txt", fs::perms(0444));
    testing::write_file(sandbox->tree() / "elsewhere" / "x" / "y.txt", "y");
    testing::write_file(sandbox->tree() / "outside" / "keep.txt", "keep");
    sandbox->map_drive('d', sandbox->tree() / "elsewhere");
    fs::current_path(working_directory());
}

void lay_out_anew() {
    fs::current_path(sandbox->tree().root());
    for (const auto &entry : fs::directory_iterator(sandbox->tree().root())) {
        fs::remove_all(entry.path());
    }
    sandbox->lay_out();
    lay_out();
}

using Snapshot = std::map<fs::path, std::string>;

// Every entry below the scratch folder, links not followed, with its kind,
// permission bits and content.
Snapshot take_snapshot() {
    Snapshot snapshot;
    for (const auto &entry : fs::recursive_directory_iterator(sandbox->tree().root())) {
        const auto status = entry.symlink_status();
        std::string description = std::to_string(static_cast<int>(status.type())) + " " +
                                  std::to_string(static_cast<unsigned>(status.permissions()));
        if (status.type() == fs::file_type::symlink) {
            description += " -> " + fs::read_symlink(entry.path()).native();
        } else if (status.type() == fs::file_type::regular) {
            description += " " + testing::read_file(entry.path());
        }
        snapshot.emplace(entry.path(), std::move(description));
    }
    return snapshot;
}

fs::path real(const fs::path &path) {
    std::error_code error;
    const fs::path resolved = fs::weakly_canonical(path, error);
    return error ? path : resolved;
}

bool inside_sandbox(const std::optional<fs::path> &host) {
    return !host || is_within(sandbox->tree().root(), real(*host));
}

bool names_only_sandbox_paths(const ParsedCommand &command) {
    const auto source_directory = split_last_component(command.source).directory;
    return inside_sandbox(platform::host_path(command.source)) &&
           inside_sandbox(platform::host_path(source_directory.empty() ? "." : source_directory)) &&
           inside_sandbox(platform::host_path(command.destination));
}

void check_tokens(std::string_view line) {
    std::size_t from = 0;
    for (const Token &token : tokenize_command_line(line)) {
        const std::size_t at = line.find(token.typed, from);
        fuzz::check(!token.typed.empty() && at != std::string_view::npos,
                    "each token stands in the line, after the one before");
        from = at + token.typed.size();
        fuzz::check(token.text.size() <= token.typed.size(), "unquoting only takes away");
        if (token.kind == Token::Kind::special) {
            fuzz::check(token.text.size() == 1 &&
                            std::string_view("&|<>").find(token.text) != std::string_view::npos,
                        "a special token is one of & | < >");
        }
    }
}

// Before and after differ only at the destination, below it, or at folders
// made on the way to it; nothing is taken away; no temporary file remains.
void check_changes(const Snapshot &before, const Snapshot &after, const fs::path &destination) {
    for (const auto &[path, description] : before) {
        fuzz::check(after.count(path) != 0, "nothing is removed: " + path.native());
    }
    for (const auto &[path, description] : after) {
        fuzz::check(path.filename().native().find(".vorlan-copy-") != 0,
                    "no temporary file is left: " + path.native());
        const auto old = before.find(path);
        if (old != before.end() && old->second == description) {
            continue;
        }
        const bool made_on_the_way = old == before.end() && is_within(path, destination);
        fuzz::check(is_within(destination, path) || made_on_the_way,
                    "only the destination changes: " + path.native());
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    static testing::WinePrefix box("fuzz");
    sandbox = &box;
    discarded = std::fopen("/dev/null", "w");
    lay_out();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *bytes, std::size_t size) {
    static const Snapshot laid_out = take_snapshot();
    const std::string line(reinterpret_cast<const char *>(bytes), size);
    check_tokens(line);
    const ParsedCommand command = parse_command_line(line);
    if (command.kind == ParsedCommand::Kind::copy || command.kind == ParsedCommand::Kind::xcopy) {
        if (!names_only_sandbox_paths(command)) {
            return 0;
        }
    }
    const auto destination = platform::host_path(command.destination);
    const fs::path allowed = destination ? real(*destination) : fs::path();
    run_parsed_command(command, discarded, discarded);
    const Snapshot after = take_snapshot();
    if (after == laid_out) {
        return 0;
    }
    fuzz::check(!allowed.empty(), "a command without a destination changes nothing");
    check_changes(laid_out, after, allowed);
    lay_out_anew();
    return 0;
}
