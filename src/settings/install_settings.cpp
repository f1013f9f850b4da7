#include "settings/install_settings.h"

namespace vorlan::settings {

bool chooses_ajp12(const std::string &tomcat_dir) {
    const auto first_dot = tomcat_dir.find('.');
    return first_dot != std::string::npos &&
           tomcat_dir.find('3', first_dot + 1) != std::string::npos;
}

std::string pja_home_for(const std::string &tomcat_dir) {
    // An empty answer never gets here (it takes the default), but a string
    // without a first character must not be read past.
    return tomcat_dir.substr(0, 1) + ":\\pja_2.4";
}

InstallSettings derive_settings(const Answers &answers, bool windows_fonts_dir_exists) {
    InstallSettings s;
    s.java_home = answers.java_home;
    s.apache_dir = answers.apache_dir;
    s.tomcat_dir = answers.tomcat_dir;
    s.fonts_dir = windows_fonts_dir_exists ? windows_fonts_dir : winnt_fonts_dir;
    s.use_ajp12 = chooses_ajp12(s.tomcat_dir);
    s.pja_home = pja_home_for(s.tomcat_dir);

    // An answer is only ever joined to fixed text, never read as a format.
    s.htdocs_dir = s.apache_dir + "\\htdocs";
    s.httpd_conf = s.apache_dir + "\\conf\\httpd.conf";
    s.httpd_scratch = s.apache_dir + "\\conf\\httpd.npm";
    s.jk_dir = s.tomcat_dir + "\\conf\\jk";
    s.jk_conf = s.tomcat_dir + "\\conf\\jk\\vorlan_mod_jk.conf";
    s.workers_file = s.jk_dir + "\\vorlan_worker.properties";
    s.pja_lib = s.pja_home + "\\lib";
    s.startup_bat = s.tomcat_dir + "\\bin\\startup.bat";
    s.startup_scratch = s.tomcat_dir + "\\bin\\startup.npm";
    s.shutdown_bat = s.tomcat_dir + "\\bin\\shutdown.bat";
    s.shutdown_scratch = s.tomcat_dir + "\\bin\\shutdown.npm";
    s.reg_script = s.tomcat_dir + "\\bin\\tomcat.reg";
    return s;
}

} // namespace vorlan::settings
