#include "support/scenario.h"

#include "support/wine_prefix.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <stdexcept>
#include <vector>

namespace e2e {
namespace {

std::string environment(const char *name) {
    const char *value = std::getenv(name);
    return value == nullptr ? std::string() : std::string(value);
}

std::string lowercase(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

fs::path program_under_test() {
    const auto program = environment("VORLAN_SETUP");
    if (program.empty()) {
        throw std::runtime_error("VORLAN_SETUP names no program to test");
    }
    // The run starts in the distribution folder, so a relative name would miss.
    return fs::absolute(program);
}

// The scripts that run the Windows build find Wine (tools/wine.sh) and pass
// its loader on, so that the suite never runs a different one.
fs::path wine_loader() {
    const auto loader = environment("VORLAN_WINE");
    if (loader.empty()) {
        throw std::runtime_error("under Wine the scenarios need VORLAN_WINE to name the Wine "
                                 "loader (tools/test-windows.sh sets it)");
    }
    return loader;
}

fs::path shared_wine_prefix() {
    const auto prefix = environment("WINEPREFIX");
    if (prefix.empty() || !fs::is_directory(fs::path(prefix) / "drive_c")) {
        throw std::runtime_error("under Wine the scenarios need WINEPREFIX to name a prefix "
                                 "made for them (wineboot -i)");
    }
    return fs::absolute(prefix);
}

std::string with_lf_line_ends(const std::string &text) {
    std::string result;
    result.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (!(text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')) {
            result.push_back(text[i]);
        }
    }
    return result;
}

// Where scenarios leave things in a shared prefix, and what was there before
// the first scenario of this process began.
class PrefixBaseline {
  public:
    explicit PrefixBaseline(const fs::path &prefix)
        : watched_{prefix / "drive_c", prefix / "drive_c" / "Program Files",
                   prefix / "dosdevices"} {
        for (const auto &dir : watched_) {
            for (const auto &entry : fs::directory_iterator(dir)) {
                present_.insert(entry.path());
            }
        }
    }

    void remove_additions() const {
        for (const auto &dir : watched_) {
            std::vector<fs::path> added;
            for (const auto &entry : fs::directory_iterator(dir)) {
                if (present_.count(entry.path()) == 0) {
                    added.push_back(entry.path());
                }
            }
            for (const auto &path : added) {
                fs::remove_all(path);
            }
        }
    }

  private:
    std::vector<fs::path> watched_;
    std::set<fs::path> present_;
};

const PrefixBaseline &baseline_of(const fs::path &prefix) {
    static const PrefixBaseline baseline(prefix);
    return baseline;
}

std::string shell_quoted(const std::string &text) {
    std::string quoted = "'";
    for (const char c : text) {
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return quoted + "'";
}

// The first program of a Wine session starts Wine's own services, which keep
// the standard handles they inherit: started from a run, they would hold its
// output open until the session ends. So the session starts here, on nothing.
void start_wine_session(const fs::path &prefix) {
    static const bool started = [&prefix] {
        const auto command = "WINEPREFIX=" + shell_quoted(prefix.string()) +
                             " WINEDEBUG=-all WINEDLLOVERRIDES=mscoree,mshtml= timeout 120 " +
                             shell_quoted(wine_loader().string()) +
                             " wineboot </dev/null >/dev/null 2>&1";
        return std::system(command.c_str()) == 0;
    }();
    if (!started) {
        throw std::runtime_error("Wine could not start a session in " + prefix.string());
    }
}

const fs::path fonts_dir = "windows/Fonts";
const fs::path fonts_dir_away = "windows/Fonts.vorlan-e2e-away";

} // namespace

bool under_wine() {
    return !environment("VORLAN_WINE").empty() ||
           lowercase(environment("VORLAN_SETUP")).ends_with(".exe");
}

Comparison output_comparison() {
    return under_wine() ? Comparison::installer_only : Comparison::every_byte;
}

Scenario::Scenario() : shared_prefix_(under_wine()) {
    if (shared_prefix_) {
        prefix = shared_wine_prefix();
        drive_c = prefix / "drive_c";
        baseline_of(prefix);
        restore_shared_prefix();
        start_wine_session(prefix);
    }
    root = folder_.root();
    dist = root / "dist";
    fs::create_directories(dist);
    if (shared_prefix_) {
        return;
    }
    prefix = root / "prefix";
    drive_c = prefix / "drive_c";
    vorlan::testing::lay_out_wine_prefix(prefix);
    fs::create_directories(drive_c / fonts_dir);
}

Scenario::Scenario(DefaultMachine) : Scenario() {
    add_default_products();
    add_distribution();
}

Scenario::~Scenario() {
    if (shared_prefix_) {
        try {
            restore_shared_prefix();
        } catch (const fs::filesystem_error &) {
            // The next scenario tries again and reports what stays in the way.
        }
    }
}

void Scenario::restore_shared_prefix() const {
    baseline_of(prefix).remove_additions();
    if (fs::exists(drive_c / fonts_dir_away)) {
        fs::rename(drive_c / fonts_dir_away, drive_c / fonts_dir);
    }
}

void Scenario::remove_windows_fonts() const {
    // Moved, not deleted: under Wine the folder belongs to the shared prefix.
    fs::rename(drive_c / fonts_dir, drive_c / fonts_dir_away);
}

std::string Scenario::describe_disk() const {
    return "drive C:\n" + describe_tree(drive_c, {"windows"}) + "elsewhere:\n" +
           describe_tree(root, {"prefix"});
}

void Scenario::map_drive(char letter, const fs::path &target) const {
    vorlan::testing::map_drive(prefix, letter, target);
}

void Scenario::add_web_server(const fs::path &dir) const {
    write_file(dir / "conf" / "httpd.conf", original_httpd_conf);
    fs::create_directories(dir / "htdocs");
    fs::create_directories(dir / "modules");
}

void Scenario::add_servlet_container(const fs::path &dir) const {
    write_file(dir / "bin" / "startup.bat", original_startup_bat);
    write_file(dir / "bin" / "shutdown.bat", original_shutdown_bat);
    fs::create_directories(dir / "conf");
    fs::create_directories(dir / "webapps");
}

void Scenario::add_default_products() const {
    add_web_server(c(apache_dir));
    add_servlet_container(c(tomcat_dir));
}

namespace {

struct DistributedFile {
    std::string_view source;
    std::string_view content;
    std::string_view product;   // apache_dir, tomcat_dir, or "" for the toolkit
    std::string_view installed; // below it
};

const DistributedFile distribution[] = {
    {"htdocs/index.html", "<html>Vorlan</html>\r\n", apache_dir, "htdocs/index.html"},
    {"htdocs/images/logo.gif", std::string_view("GIF89a\0\x1a\r\n", 10), apache_dir,
     "htdocs/images/logo.gif"},
    {"htdocs/jsp/main.jsp", "<% out.print(1); %>\n", apache_dir, "htdocs/jsp/main.jsp"},
    {"pja.jar", "pja jar bytes", "", "pja_2.4/lib/pja.jar"},
    {"vorlan.jar", "vorlan jar bytes", "", "pja_2.4/lib/vorlan.jar"},
    {"mod_jk.dll", "dll bytes", apache_dir, "modules/mod_jk.dll"},
    {"vorlan.war", "war bytes", tomcat_dir, "webapps/vorlan.war"},
};

} // namespace

void Scenario::add_distribution() const {
    for (const DistributedFile &file : distribution) {
        write_file(dist / file.source, std::string(file.content));
    }
}

std::vector<CopiedFile> Scenario::default_copies() const {
    std::vector<CopiedFile> copies;
    for (const DistributedFile &file : distribution) {
        copies.push_back({std::string(file.source), c(file.product) / file.installed});
    }
    return copies;
}

ProcessRequest Scenario::native_request(const std::string &input) const {
    ProcessRequest request;
    request.argv = {program_under_test().string()};
    request.working_directory = dist.string();
    request.input = input;
    request.extra_environment = {{"WINEPREFIX", prefix.string()}};
    return request;
}

ProcessResult Scenario::run(const std::string &input) const {
    ProcessRequest request = native_request(input);
    if (!shared_prefix_) {
        return run_process(request);
    }
    return run_through_wine(request);
}

ProcessResult Scenario::run_windows_program(std::vector<std::string> argv) const {
    ProcessRequest request;
    request.argv = std::move(argv);
    request.working_directory = root.string();
    return run_through_wine(std::move(request));
}

ProcessResult Scenario::run_through_wine(ProcessRequest request) const {
    request.argv.insert(request.argv.begin(), wine_loader().string());
    request.extra_environment.insert({{"WINEPREFIX", prefix.string()},
                                      {"WINEDEBUG", "-all"},
                                      {"WINEDLLOVERRIDES", "mscoree,mshtml="},
                                      // A user who wants to be asked: the installer must
                                      // still never wait on an overwrite question.
                                      {"COPYCMD", "/-Y"}});
    auto result = run_process(request);
    result.out = with_lf_line_ends(result.out);
    result.err = with_lf_line_ends(result.err);
    return result;
}

} // namespace e2e
