#include "dialogue/directory_questions.h"
#include "settings/install_settings.h"
#include "text/format.h"

#include <gtest/gtest.h>

namespace vorlan::settings {
namespace {

using text::format;

TEST(Format, SubstitutesArgumentsAndPercentPairsOnly) {
    EXPECT_EQ(format("%s\\htdocs", {"C:\\100%"}), "C:\\100%\\htdocs");
    EXPECT_EQ(format("%%CLASSPATH%%;%s", {"%s"}), "%CLASSPATH%;%s");
    EXPECT_EQ(format("copy \"%s\" \"%s\" > NUL", {"a", "b"}), "copy \"a\" \"b\" > NUL");
    EXPECT_EQ(format("100%", {}), "100%");
}

struct ProtocolCase {
    const char *tomcat_dir;
    bool ajp12;
};

TEST(Settings, ProtocolFollowsAThreeAfterTheFirstDot) {
    const ProtocolCase table[] = {
        {"C:\\Program Files\\Apache Tomcat 4.0", false},
        {"C:\\tomcat-3.3", true},
        {"C:\\jakarta-tomcat-3.2.4", false},
        {"C:\\Tomcat 4.1.30", true},
        {"C:\\Program Files\\web.apps\\Tomcat 4.0", false},
        {"D:\\build.1\\tomcat-3.2", true},
        {"C:\\Tomcat3", false},
        {"C:\\Tomcat.", false},
        {".3", true},
    };
    for (const auto &row : table) {
        EXPECT_EQ(chooses_ajp12(row.tomcat_dir), row.ajp12) << row.tomcat_dir;
    }
}

TEST(Settings, ToolkitHomeIsOnTheTomcatDrive) {
    EXPECT_EQ(pja_home_for("C:\\Program Files\\Apache Tomcat 4.0"), "C:\\pja_2.4");
    EXPECT_EQ(pja_home_for("D:\\tomcat"), "D:\\pja_2.4");
    EXPECT_EQ(pja_home_for("d:\\tomcat 4.0"), "d:\\pja_2.4");
    EXPECT_EQ(pja_home_for("\\tomcat"), "\\:\\pja_2.4");
    EXPECT_EQ(pja_home_for(""), ":\\pja_2.4");
}

TEST(Settings, DefaultsDeriveEveryPath) {
    const auto s = derive_settings(
        {dialogue::default_java_home, dialogue::default_apache_dir, dialogue::default_tomcat_dir},
        true);
    EXPECT_EQ(s.fonts_dir, "C:\\WINDOWS\\Fonts");
    EXPECT_FALSE(s.use_ajp12);
    EXPECT_EQ(s.pja_home, "C:\\pja_2.4");
    EXPECT_EQ(s.htdocs_dir, "C:\\Program Files\\Apache Group\\Apache\\htdocs");
    EXPECT_EQ(s.httpd_conf, "C:\\Program Files\\Apache Group\\Apache\\conf\\httpd.conf");
    EXPECT_EQ(s.httpd_scratch, "C:\\Program Files\\Apache Group\\Apache\\conf\\httpd.npm");
    EXPECT_EQ(s.jk_dir, "C:\\Program Files\\Apache Tomcat 4.0\\conf\\jk");
    EXPECT_EQ(s.jk_conf, "C:\\Program Files\\Apache Tomcat 4.0\\conf\\jk\\vorlan_mod_jk.conf");
    EXPECT_EQ(s.workers_file,
              "C:\\Program Files\\Apache Tomcat 4.0\\conf\\jk\\vorlan_worker.properties");
    EXPECT_EQ(s.pja_lib, "C:\\pja_2.4\\lib");
    EXPECT_EQ(s.startup_bat, "C:\\Program Files\\Apache Tomcat 4.0\\bin\\startup.bat");
    EXPECT_EQ(s.startup_scratch, "C:\\Program Files\\Apache Tomcat 4.0\\bin\\startup.npm");
    EXPECT_EQ(s.shutdown_bat, "C:\\Program Files\\Apache Tomcat 4.0\\bin\\shutdown.bat");
    EXPECT_EQ(s.shutdown_scratch, "C:\\Program Files\\Apache Tomcat 4.0\\bin\\shutdown.npm");
    EXPECT_EQ(s.reg_script, "C:\\Program Files\\Apache Tomcat 4.0\\bin\\tomcat.reg");
}

TEST(Settings, AnswersAreTakenAsTyped) {
    const auto s = derive_settings({"C:\\%PATH%", "E:\\web 50%\\", "tomcat-4.3"}, false);
    EXPECT_EQ(s.fonts_dir, "C:\\WinNT\\Fonts");
    EXPECT_EQ(s.java_home, "C:\\%PATH%");
    EXPECT_EQ(s.httpd_conf, "E:\\web 50%\\\\conf\\httpd.conf");
    EXPECT_EQ(s.htdocs_dir, "E:\\web 50%\\\\htdocs");
    EXPECT_EQ(s.pja_home, "t:\\pja_2.4");
    EXPECT_EQ(s.jk_conf, "tomcat-4.3\\conf\\jk\\vorlan_mod_jk.conf");
    EXPECT_TRUE(s.use_ajp12);
}

} // namespace
} // namespace vorlan::settings
