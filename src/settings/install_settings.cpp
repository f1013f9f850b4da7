#include "settings/install_settings.h"

#include "settings/format.h"

namespace vorlan::settings {

bool chooses_ajp12(const std::string &tomcat_dir) {
    const auto first_dot = tomcat_dir.find('.');
    return first_dot != std::string::npos &&
           tomcat_dir.find('3', first_dot + 1) != std::string::npos;
}

std::string pja_home_for(const std::string &tomcat_dir) {
    // An empty answer never gets here (it takes the default), but a string
    // without a first character must not be read past.
    const std::string drive = tomcat_dir.substr(0, 1);
    return format("%s:\\pja_2.4", {drive});
}

InstallSettings derive_settings(const Answers &answers, bool windows_fonts_dir_exists) {
    InstallSettings s;
    s.java_home = answers.java_home;
    s.apache_dir = answers.apache_dir;
    s.tomcat_dir = answers.tomcat_dir;
    s.fonts_dir = windows_fonts_dir_exists ? windows_fonts_dir : winnt_fonts_dir;
    s.use_ajp12 = chooses_ajp12(s.tomcat_dir);
    s.pja_home = pja_home_for(s.tomcat_dir);

    s.htdocs_dir = format("%s\\htdocs", {s.apache_dir});
    s.httpd_conf = s.apache_dir + "\\conf\\httpd.conf";
    s.httpd_scratch = format("%s\\conf\\httpd.npm", {s.apache_dir});
    s.jk_dir = s.tomcat_dir + "\\conf\\jk";
    s.jk_conf = s.tomcat_dir + "\\conf\\jk\\vorlan_mod_jk.conf";
    s.workers_file = s.jk_dir + "\\vorlan_worker.properties";
    s.pja_lib = s.pja_home + "\\lib";
    s.startup_bat = format("%s\\bin\\startup.bat", {s.tomcat_dir});
    s.startup_scratch = format("%s\\bin\\startup.npm", {s.tomcat_dir});
    s.shutdown_bat = format("%s\\bin\\shutdown.bat", {s.tomcat_dir});
    s.shutdown_scratch = format("%s\\bin\\shutdown.npm", {s.tomcat_dir});
    s.reg_script = format("%s\\bin\\tomcat.reg", {s.tomcat_dir});
    return s;
}

} // namespace vorlan::settings
