#pragma once

#include <string>

namespace vorlan::settings {

inline constexpr const char *windows_fonts_dir = "C:\\WINDOWS\\Fonts";
inline constexpr const char *winnt_fonts_dir = "C:\\WinNT\\Fonts";

struct Answers {
    std::string java_home;
    std::string apache_dir;
    std::string tomcat_dir;
};

// The answers and everything derived from them; read-only once derived.
struct InstallSettings {
    std::string java_home;
    std::string apache_dir;
    std::string tomcat_dir;
    std::string fonts_dir;
    bool use_ajp12 = false;
    std::string pja_home;

    std::string htdocs_dir;
    std::string httpd_conf;
    std::string httpd_scratch;
    std::string jk_dir;
    std::string jk_conf;
    std::string workers_file;
    std::string pja_lib;
    std::string startup_bat;
    std::string startup_scratch;
    std::string shutdown_bat;
    std::string shutdown_scratch;
    std::string reg_script;
};

// True selects the ajp12 protocol: a "3" somewhere after the first "." of the
// whole path. A path without a "." gets ajp13.
bool chooses_ajp12(const std::string &tomcat_dir);

// The toolkit lives at the root of the Tomcat directory's drive.
std::string pja_home_for(const std::string &tomcat_dir);

// Everything but the fonts directory is a pure function of the answers.
InstallSettings derive_settings(const Answers &answers, bool windows_fonts_dir_exists);

// Looks for the Windows fonts directory, leaving the current directory as it was.
bool windows_fonts_dir_exists();

} // namespace vorlan::settings
