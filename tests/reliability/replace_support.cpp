#include "replace_support.h"

#include <algorithm>
#include <cstdlib>
#include <sstream>

namespace reliability {
namespace {

bool begins_with_any(std::string_view line, const std::vector<std::string_view> &prefixes) {
    return std::any_of(prefixes.begin(), prefixes.end(),
                       [&](std::string_view prefix) { return line.starts_with(prefix); });
}

void append_lines(std::string &to, const std::vector<std::string> &lines) {
    for (const auto &line : lines) {
        to += line;
        to += "\r\n";
    }
}

const std::string default_pja_home = "C:\\pja_2.4";

} // namespace

std::string filtered_rewrite(std::string_view old, const std::vector<std::string_view> &prefixes,
                             const std::vector<std::string> &head,
                             const std::vector<std::string> &tail) {
    std::string result;
    append_lines(result, head);
    std::size_t begin = 0;
    while (begin < old.size()) {
        const std::size_t newline = old.find('\n', begin);
        const bool has_line_end = newline != std::string_view::npos;
        std::string_view line = old.substr(begin, has_line_end ? newline - begin : old.npos);
        if (has_line_end && line.ends_with('\r')) {
            line.remove_suffix(1);
        }
        if (!begins_with_any(line, prefixes)) {
            result += line;
            result += has_line_end ? "\r\n" : "";
        }
        begin = has_line_end ? newline + 1 : old.size();
    }
    append_lines(result, tail);
    return result;
}

std::string httpd_conf_after_default_run(std::string_view old) {
    return filtered_rewrite(old, {"Include", "#configured"}, {},
                            {"", "#configured by Vorlan 1.5", e2e::default_include});
}

std::string startup_bat_after_default_run(std::string_view old) {
    const std::string pja_jar = default_pja_home + "\\lib\\pja.jar";
    return filtered_rewrite(
        old, {"set JAVA_HOME", "set JAVA_OPTS", "set CLASSPATH"},
        {"set CLASSPATH=%CLASSPATH%;" + pja_jar + ";" + default_pja_home + "\\lib\\pjatools.jar",
         "set JAVA_HOME=" + e2e::java_windows_dir,
         "set JAVA_OPTS=-Xbootclasspath/a:" + pja_jar +
             " -Djava.awt.fonts=C:\\WINDOWS\\Fonts -Duser.home=%JAVA_HOME%\\jre"},
        {});
}

std::string shutdown_bat_after_default_run(std::string_view old) {
    return filtered_rewrite(old, {"set JAVA_HOME"}, {"set JAVA_HOME=" + e2e::java_windows_dir}, {});
}

e2e::ProcessResult run_with_limit(const e2e::Scenario &machine, const std::string &input,
                                  std::chrono::milliseconds limit,
                                  const std::vector<std::string> &wrapper) {
    auto request = machine.native_request(input);
    request.argv.insert(request.argv.begin(), wrapper.begin(), wrapper.end());
    request.limit = limit;
    return e2e::run_process(request);
}

e2e::ProcessResult run_wrapped(const e2e::Scenario &machine, const std::string &input,
                               const std::vector<std::string> &wrapper) {
    auto request = machine.native_request(input);
    request.argv.insert(request.argv.begin(), wrapper.begin(), wrapper.end());
    // A sanitized build checks for leaks at exit through ptrace, which the
    // wrapper may hold.
    request.extra_environment["ASAN_OPTIONS"] = "detect_leaks=0";
    return e2e::run_process(request);
}

std::string difference(std::string_view actual, std::string_view expected) {
    const auto mismatch =
        std::mismatch(actual.begin(), actual.end(), expected.begin(), expected.end());
    const auto offset = static_cast<std::size_t>(mismatch.first - actual.begin());
    return std::to_string(actual.size()) + " bytes where " + std::to_string(expected.size()) +
           " were expected; the first difference is at byte " + std::to_string(offset);
}

std::vector<fs::path> replace_leftovers(const fs::path &dir) {
    std::vector<fs::path> found;
    for (const auto &entry : fs::directory_iterator(dir)) {
        if (entry.path().filename().string().starts_with(".vorlan-copy-")) {
            found.push_back(entry.path());
        }
    }
    return found;
}

std::optional<fs::path> program_on_path(const std::string &name) {
    std::istringstream path(std::getenv("PATH") == nullptr ? "" : std::getenv("PATH"));
    for (std::string dir; std::getline(path, dir, ':');) {
        if (!dir.empty() && fs::exists(fs::path(dir) / name)) {
            return fs::path(dir) / name;
        }
    }
    return std::nullopt;
}

} // namespace reliability
