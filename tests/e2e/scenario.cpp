#include "scenario.h"

#include <cstdlib>
#include <fstream>
#include <set>
#include <sstream>
#include <stdexcept>

namespace e2e {

void write_file(const fs::path &path, std::string_view content) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << content;
}

std::string read_file(const fs::path &path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

std::string describe_tree(const fs::path &dir) {
    std::set<std::string> lines;
    for (const auto &entry : fs::recursive_directory_iterator(dir)) {
        if (entry.is_regular_file()) {
            lines.insert(fs::relative(entry.path(), dir).generic_string() + ": " +
                         read_file(entry.path()));
        }
    }
    std::string result;
    for (const auto &line : lines) {
        result += line + "\n";
    }
    return result;
}

Scenario::Scenario() {
    std::string pattern = (fs::temp_directory_path() / "vorlan-e2e-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
        throw std::runtime_error("cannot make a temporary folder");
    }
    root = pattern;
    prefix = root / "prefix";
    drive_c = prefix / "drive_c";
    dist = root / "dist";
    fs::create_directories(prefix / "dosdevices");
    fs::create_directories(drive_c / "windows" / "Fonts");
    fs::create_directories(dist);
    map_drive('c', "../drive_c");
}

Scenario::~Scenario() {
    std::error_code ignored;
    fs::remove_all(root, ignored);
}

void Scenario::map_drive(char letter, const fs::path &target) const {
    fs::create_directory_symlink(target, prefix / "dosdevices" / (std::string(1, letter) + ":"));
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

void Scenario::add_distribution() const {
    write_file(dist / "htdocs" / "index.html", "<html>Vorlan</html>\r\n");
    write_file(dist / "htdocs" / "images" / "logo.gif", std::string("GIF89a\0\x1a\r\n", 10));
    write_file(dist / "htdocs" / "jsp" / "main.jsp", "<% out.print(1); %>\n");
    write_file(dist / "pja.jar", "pja jar bytes");
    write_file(dist / "vorlan.jar", "vorlan jar bytes");
    write_file(dist / "mod_jk.dll", "dll bytes");
    write_file(dist / "vorlan.war", "war bytes");
}

ProcessResult Scenario::run(const std::string &input) const {
    const char *program = std::getenv("VORLAN_SETUP");
    if (program == nullptr) {
        throw std::runtime_error("VORLAN_SETUP names no program to test");
    }
    ProcessSpec spec;
    spec.argv = {program};
    spec.working_directory = dist.string();
    spec.extra_environment = {{"WINEPREFIX", prefix.string()}};
    spec.input = input;
    return run_process(spec);
}

} // namespace e2e
