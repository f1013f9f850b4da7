#pragma once
// The three directory questions, their defaults and what an answer must be.

#include "settings/install_settings.h"

#include <optional>

namespace vorlan::dialogue {

inline constexpr const char *default_java_home = "C:\\jdk1.3.1_04";
inline constexpr const char *default_apache_dir = "C:\\Program Files\\Apache Group\\Apache";
inline constexpr const char *default_tomcat_dir = "C:\\Program Files\\Apache Tomcat 4.0";

// Asks for the Java SDK, web server and Tomcat directories, in this order.
// Nothing when an answer cannot name a directory; the error has been shown.
std::optional<settings::Answers> ask_directories();

} // namespace vorlan::dialogue
