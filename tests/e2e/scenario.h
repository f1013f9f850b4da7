#pragma once
// A machine in a temporary folder: a Wine-style prefix whose drive C holds a
// web server, a servlet container and a Windows fonts directory, and a
// distribution folder the installer is started in.

#include "process.h"

#include <filesystem>
#include <string>
#include <string_view>

namespace e2e {

namespace fs = std::filesystem;

inline constexpr std::string_view apache_dir = "Program Files/Apache Group/Apache";
inline constexpr std::string_view tomcat_dir = "Program Files/Apache Tomcat 4.0";

class Scenario {
  public:
    Scenario();
    ~Scenario();
    Scenario(const Scenario &) = delete;
    Scenario &operator=(const Scenario &) = delete;

    // Host path of a path on drive C, written with forward slashes.
    fs::path c(std::string_view rest) const { return drive_c / fs::path(rest); }

    void map_drive(char letter, const fs::path &target) const;
    void add_web_server(const fs::path &dir) const;
    void add_servlet_container(const fs::path &dir) const;
    void add_default_products() const;
    void add_distribution() const;

    ProcessResult run(const std::string &input) const;

    fs::path root;
    fs::path prefix;
    fs::path drive_c;
    fs::path dist;
};

void write_file(const fs::path &path, std::string_view content);
std::string read_file(const fs::path &path);
// Every regular file below the directory, by relative path, with its content.
std::string describe_tree(const fs::path &dir);

// What httpd.conf, startup.bat and shutdown.bat hold before the first run.
inline constexpr std::string_view original_httpd_conf =
    "ServerRoot \"C:/Program Files/Apache Group/Apache\"\r\n"
    "Listen 80\r\n"
    "Include conf/extra/ssl.conf\r\n"
    "DocumentRoot \"C:/Program Files/Apache Group/Apache/htdocs\"\r\n";
inline constexpr std::string_view original_startup_bat =
    "@echo off\r\n"
    "set JAVA_HOME=C:\\old\\jdk\r\n"
    "set CATALINA_HOME=..\r\n"
    "call \"%CATALINA_HOME%\\bin\\catalina.bat\" start %*\r\n";
inline constexpr std::string_view original_shutdown_bat =
    "@echo off\r\n"
    "set CLASSPATH=keep\r\n"
    "call \"%CATALINA_HOME%\\bin\\catalina.bat\" stop %*\r\n";

} // namespace e2e
