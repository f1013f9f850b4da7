#pragma once
// A machine in a temporary folder: a Wine-style prefix whose drive C holds a
// web server, a servlet container and a Windows fonts directory, and a
// distribution folder the installer is started in.
//
// The program under test is $VORLAN_SETUP. When it ends in ".exe", or when
// $VORLAN_WINE is set, it is the Windows build and every run goes through
// Wine, whose loader $VORLAN_WINE must then name (tools/wine.sh finds it for
// the scripts). Making a prefix takes a minute, so then the scenarios share
// the one $WINEPREFIX names: its drive C is the scenario's drive C, and
// whatever a scenario adds to that drive's top level, to its Program Files or
// to the prefix's drive letters is removed again when the scenario ends.

#include "support/default_paths.h"
#include "support/files.h"
#include "support/process.h"
#include "support/transcript.h"

#include <filesystem>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace e2e {

namespace fs = std::filesystem;
using vorlan::testing::describe_tree;
using vorlan::testing::read_file;
using vorlan::testing::write_file;

// Yes, then the default at every question.
inline const std::string accept_defaults = "y\n\n\n\n\n";

// A file of the distribution, and where the default answers install it.
struct CopiedFile {
    std::string source; // in the distribution folder
    fs::path target;
};

class Scenario {
  public:
    Scenario();
    // The machine most tests start from: the products where the defaults
    // look for them, and the whole distribution.
    static Scenario default_machine() { return Scenario(DefaultMachine{}); }
    ~Scenario();
    Scenario(const Scenario &) = delete;
    Scenario &operator=(const Scenario &) = delete;

    // Host path of a path on drive C, written with forward slashes.
    fs::path c(std::string_view rest) const { return drive_c / fs::path(rest); }
    // The content of a file below the default web server's or Tomcat's folder.
    std::string apache_file(std::string_view rest) const {
        return read_file(c(apache_dir) / fs::path(rest));
    }
    std::string tomcat_file(std::string_view rest) const {
        return read_file(c(tomcat_dir) / fs::path(rest));
    }

    void map_drive(char letter, const fs::path &target) const;
    void add_web_server(const fs::path &dir) const;
    void add_servlet_container(const fs::path &dir) const;
    void add_default_products() const;
    void add_distribution() const;
    // The files add_distribution() writes, as a run with the defaults copies them.
    std::vector<CopiedFile> default_copies() const;

    // Runs the installer in the distribution folder with the answers on its
    // standard input. Under Wine a CR LF in its output is read as LF, since
    // Windows writes the console in text mode.
    ProcessResult run(const std::string &input) const;
    // How the native build is started for such a run.
    ProcessRequest native_request(const std::string &input) const;
    // Under Wine: another Windows program, in the same prefix, started in root.
    ProcessResult run_windows_program(std::vector<std::string> argv) const;

    // Takes C:\WINDOWS\Fonts away until the scenario ends.
    void remove_windows_fonts() const;
    // Every file a run could touch, with its content: drive C but its windows
    // folder, the distribution and the folders of other drives.
    std::string describe_disk() const;

    fs::path root;
    fs::path prefix;
    fs::path drive_c;
    fs::path dist;

  private:
    struct DefaultMachine {};
    explicit Scenario(DefaultMachine);
    void restore_shared_prefix() const;
    ProcessResult run_through_wine(ProcessRequest request) const;

    vorlan::testing::TemporaryFolder folder_{"e2e"};
    bool shared_prefix_ = false;
};

// True when the program under test is the Windows build, run through Wine.
bool under_wine();
// How a run's output can be held against a transcript on this build.
Comparison output_comparison();
inline ::testing::AssertionResult prints(const ProcessResult &run, const Transcript &expected) {
    return matches(run.out, expected, output_comparison());
}

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
