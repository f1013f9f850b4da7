#pragma once
// Where the installer's default answers put things, written once for every
// test: below drive C with forward slashes, for the host's paths, and whole,
// as the installer prints and writes them.

#include <algorithm>
#include <string>
#include <string_view>

namespace e2e {

inline constexpr std::string_view apache_dir = "Program Files/Apache Group/Apache";
inline constexpr std::string_view tomcat_dir = "Program Files/Apache Tomcat 4.0";
inline constexpr std::string_view java_dir = "jdk1.3.1_04";

// A path below drive C as Windows writes it: "C:\" and backslashes.
inline std::string windows_path(std::string_view below_c) {
    std::string path = "C:\\" + std::string(below_c);
    std::replace(path.begin(), path.end(), '/', '\\');
    return path;
}

inline const std::string apache_windows_dir = windows_path(apache_dir);
inline const std::string tomcat_windows_dir = windows_path(tomcat_dir);
inline const std::string java_windows_dir = windows_path(java_dir);

// The line a default run adds to httpd.conf, without its line end.
inline const std::string default_include =
    "Include \"" + tomcat_windows_dir + "\\conf\\jk\\vorlan_mod_jk.conf\"";

} // namespace e2e
