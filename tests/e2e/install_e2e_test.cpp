// Whole installations on a drive in a temporary folder: every file the
// installer writes or copies, byte for byte, and its own console lines.
#include "support/scenario.h"
#include "support/transcript.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <future>
#include <thread>
#include <vector>

namespace e2e {
namespace {

const std::string httpd_conf_after_one_run =
    "ServerRoot \"C:/Program Files/Apache Group/Apache\"\r\n"
    "Listen 80\r\n"
    "DocumentRoot \"C:/Program Files/Apache Group/Apache/htdocs\"\r\n"
    "\r\n"
    "#configured by Vorlan 1.5\r\n" +
    default_include + "\r\n";

const std::string startup_head =
    "set CLASSPATH=%CLASSPATH%;C:\\pja_2.4\\lib\\pja.jar;C:\\pja_2.4\\lib\\pjatools.jar\r\n"
    "set JAVA_HOME=" +
    java_windows_dir +
    "\r\n"
    "set JAVA_OPTS=-Xbootclasspath/a:C:\\pja_2.4\\lib\\pja.jar -Djava.awt.fonts=C:\\WINDOWS\\Fonts "
    "-Duser.home=%JAVA_HOME%\\jre\r\n";

const std::string startup_bat_after = startup_head +
                                      "@echo off\r\n"
                                      "set CATALINA_HOME=..\r\n"
                                      "call \"%CATALINA_HOME%\\bin\\catalina.bat\" start %*\r\n";

const std::string shutdown_bat_after =
    "set JAVA_HOME=" + java_windows_dir + "\r\n" + std::string(original_shutdown_bat);

const std::string connector_config_ajp13 = "#configured by Vorlan 1.5\r\n"
                                           "LoadModule jk_module modules/mod_jk.dll\r\n"
                                           "<IfModule mod_jk.c>\r\n"
                                           "JkWorkersFile \"" +
                                           tomcat_windows_dir +
                                           "\\conf\\jk\\vorlan_worker.properties\"\r\n"
                                           "JkLogFile  logs/vorlan_mod_jk.log\r\n"
                                           "JkLogLevel error\r\n"
                                           "JkMount /*.jsp ajp13\r\n"
                                           "JkMount /servlet/* ajp13\r\n"
                                           "JkMount /vorlan/jsp/* ajp13\r\n"
                                           "JkMount /vorlan/servlet/* ajp13\r\n"
                                           "JkMount /vorlan/graphimages/* ajp13\r\n"
                                           "</IfModule>\r\n";

const std::string workers_ajp13 = "#configured by Vorlan 1.5\r\n"
                                  "ps=\\\r\n"
                                  "worker.list=ajp12, ajp13\r\n"
                                  "# Definition for Ajp13 worker\r\n"
                                  "worker.ajp13.port=8009\r\n"
                                  "worker.ajp13.host=localhost\r\n"
                                  "worker.ajp13.type=ajp13\r\n";

const std::string registry_script_defaults =
    "REGEDIT4\r\n"
    "\r\n"
    "[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\Apache Tomcat\\Parameters]\r\n"
    "\"JVM Option Count\"=dword:00000005\r\n"
    "\"JVM Option Number 2\"=\"-Xbootclasspath/a:C:\\\\pja_2.4\\\\lib\\\\pja.jar\"\r\n"
    "\"JVM Option Number 3\"=\"-Djava.awt.fonts=C:\\\\WINDOWS\\\\Fonts\"\r\n"
    "\"JVM Option Number 4\"=\"-Duser.home=C:\\\\jdk1.3.1_04\\\\jre\"\r\n"
    "\r\n";

// What the interpreter reports for the copies, as cmd on Windows prints it.
const Transcript copied_web_files = interpreter("htdocs\\index.html\n"
                                                "htdocs\\images\\logo.gif\n"
                                                "htdocs\\jsp\\main.jsp\n"
                                                "3 File(s) copied\n");
const Transcript copied_jars = interpreter("pja.jar\nvorlan.jar\n        2 file(s) copied.\n");
const Transcript copied_modules_and_archives =
    interpreter("mod_jk.dll\n        1 file(s) copied.\nvorlan.war\n        1 file(s) copied.\n");

class Install : public ::testing::Test {
  protected:
    Scenario machine = Scenario::default_machine();
};

TEST_F(Install, DefaultRunPutsEveryFileInPlace) {
    const auto run = machine.run(accept_defaults);
    EXPECT_TRUE(prints(run, own(all_questions) + copied_web_files + copied_jars +
                                copied_modules_and_archives + own(completion)));
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.exit_status, 0);

    EXPECT_EQ(machine.apache_file("conf/httpd.conf"), httpd_conf_after_one_run);
    EXPECT_EQ(machine.apache_file("conf/httpd.npm"), httpd_conf_after_one_run);
    EXPECT_EQ(machine.tomcat_file("conf/jk/vorlan_mod_jk.conf"), connector_config_ajp13);
    EXPECT_EQ(machine.tomcat_file("conf/jk/vorlan_worker.properties"), workers_ajp13);
    EXPECT_EQ(machine.tomcat_file("bin/startup.bat"), startup_bat_after);
    EXPECT_EQ(machine.tomcat_file("bin/shutdown.bat"), shutdown_bat_after);
    EXPECT_EQ(machine.tomcat_file("bin/tomcat.reg"), registry_script_defaults);

    EXPECT_EQ(describe_tree(machine.c(apache_dir) / "htdocs"),
              describe_tree(machine.dist / "htdocs"));
    EXPECT_EQ(describe_tree(machine.c("pja_2.4")), "lib/pja.jar: pja jar bytes\n"
                                                   "lib/vorlan.jar: vorlan jar bytes\n");
    EXPECT_EQ(machine.apache_file("modules/mod_jk.dll"), "dll bytes");
    EXPECT_EQ(machine.tomcat_file("webapps/vorlan.war"), "war bytes");
}

TEST_F(Install, SecondAndThirdRunsChangeOnlyWhatTheyOwn) {
    ASSERT_EQ(machine.run(accept_defaults).exit_status, 0);
    const auto second = machine.run(accept_defaults);
    const auto warnings =
        own("***WARNING*** file " + tomcat_windows_dir +
            "\\conf\\jk\\vorlan_mod_jk.conf exists.  Continuing. . .\n"
            "***WARNING*** file " +
            tomcat_windows_dir + "\\conf\\jk\\vorlan_worker.properties exists.  Continuing. . .\n");
    EXPECT_TRUE(prints(second, own(all_questions) + copied_web_files + copied_jars + warnings +
                                   copied_modules_and_archives + own(completion)));
    ASSERT_EQ(machine.run(accept_defaults).exit_status, 0);

    // One more empty line before the marker per run; one Include only.
    EXPECT_EQ(machine.apache_file("conf/httpd.conf"),
              "ServerRoot \"C:/Program Files/Apache Group/Apache\"\r\n"
              "Listen 80\r\n"
              "DocumentRoot \"C:/Program Files/Apache Group/Apache/htdocs\"\r\n"
              "\r\n\r\n\r\n"
              "#configured by Vorlan 1.5\r\n" +
                  default_include + "\r\n");
    EXPECT_EQ(machine.tomcat_file("bin/startup.bat"), startup_bat_after);
    EXPECT_EQ(machine.tomcat_file("bin/shutdown.bat"), shutdown_bat_after);
    EXPECT_EQ(machine.tomcat_file("conf/jk/vorlan_mod_jk.conf"), connector_config_ajp13);
    EXPECT_EQ(machine.tomcat_file("bin/tomcat.reg"), registry_script_defaults);
}

TEST_F(Install, ChangedAnswersReplaceTheScriptSettings) {
    ASSERT_EQ(machine.run(accept_defaults).exit_status, 0);
    ASSERT_EQ(machine.run("y\nC:\\java 1.4\n\n\n\n").exit_status, 0);
    EXPECT_EQ(machine.tomcat_file("bin/shutdown.bat"),
              "set JAVA_HOME=C:\\java 1.4\r\n" + std::string(original_shutdown_bat));
    const auto startup = machine.tomcat_file("bin/startup.bat");
    EXPECT_NE(startup.find("set JAVA_HOME=C:\\java 1.4\r\nset JAVA_OPTS="), std::string::npos);
    EXPECT_EQ(startup.find(java_dir), std::string::npos);
    EXPECT_NE(machine.tomcat_file("bin/tomcat.reg").find("-Duser.home=C:\\\\java 1.4\\\\jre"),
              std::string::npos);
}

TEST_F(Install, MissingHttpdConfStopsAfterTheWebFiles) {
    fs::remove(machine.c(apache_dir) / "conf/httpd.conf");
    const auto run = machine.run(accept_defaults);
    EXPECT_TRUE(prints(
        run, own(all_questions) + copied_web_files +
                 own("***ERROR*** file " + apache_windows_dir + "\\conf\\httpd.conf not found\n")));
    EXPECT_EQ(run.exit_status, 1);
    EXPECT_TRUE(fs::exists(machine.c(apache_dir) / "htdocs/images/logo.gif"));
    EXPECT_EQ(machine.apache_file("conf/httpd.npm"), "");
    EXPECT_FALSE(fs::exists(machine.c("pja_2.4")));
    EXPECT_EQ(machine.tomcat_file("bin/startup.bat"), original_startup_bat);
}

TEST_F(Install, MissingStartupScriptLeavesShutdownScriptAlone) {
    fs::remove(machine.c(tomcat_dir) / "bin/startup.bat");
    const auto run = machine.run(accept_defaults);
    EXPECT_TRUE(run.out.ends_with("file " + tomcat_windows_dir + "\\bin\\startup.bat not found\n"));
    EXPECT_EQ(run.exit_status, 1);
    EXPECT_EQ(machine.tomcat_file("bin/startup.npm"), "");
    EXPECT_EQ(machine.tomcat_file("bin/shutdown.bat"), original_shutdown_bat);
    EXPECT_FALSE(fs::exists(machine.c(tomcat_dir) / "bin/shutdown.npm"));
    EXPECT_EQ(machine.tomcat_file("conf/jk/vorlan_worker.properties"), workers_ajp13);
}

TEST_F(Install, MissingShutdownScriptStopsBeforeTheRegistryScript) {
    fs::remove(machine.c(tomcat_dir) / "bin/shutdown.bat");
    const auto run = machine.run(accept_defaults);
    EXPECT_TRUE(
        prints(run, own(all_questions) + copied_web_files + copied_jars +
                        own("file " + tomcat_windows_dir + "\\bin\\shutdown.bat not found\n")));
    EXPECT_EQ(run.exit_status, 1);
    EXPECT_EQ(machine.tomcat_file("bin/startup.bat"), startup_bat_after);
    EXPECT_EQ(machine.tomcat_file("bin/shutdown.npm"), "");
    EXPECT_FALSE(fs::exists(machine.c(tomcat_dir) / "bin/tomcat.reg"));
    EXPECT_FALSE(fs::exists(machine.c(apache_dir) / "modules/mod_jk.dll"));
    EXPECT_FALSE(fs::exists(machine.c(tomcat_dir) / "webapps/vorlan.war"));
}

TEST_F(Install, MissingConfDirectoryStopsAtTheConnectorFile) {
    fs::remove_all(machine.c(tomcat_dir) / "conf");
    const auto run = machine.run(accept_defaults);
    EXPECT_TRUE(prints(run, own(all_questions) + copied_web_files + copied_jars +
                                own("***ERROR*** cannot write file " + tomcat_windows_dir +
                                    "\\conf\\jk\\vorlan_mod_jk.conf\n")));
    EXPECT_EQ(run.exit_status, 1);
    // Only the last level is made, so conf\jk could not be.
    EXPECT_FALSE(fs::exists(machine.c(tomcat_dir) / "conf"));
    EXPECT_TRUE(fs::exists(machine.c("pja_2.4/lib/vorlan.jar")));
}

// There the copy cannot share blocks and writes the bytes itself, many files
// at a time.
TEST_F(Install, ADistributionOnAnotherFileSystemArrivesByteForByte) {
    const fs::path shm = "/dev/shm";
    struct stat drive {};
    struct stat other {};
    if (::stat(machine.root.c_str(), &drive) != 0 || ::stat(shm.c_str(), &other) != 0 ||
        drive.st_dev == other.st_dev) {
        GTEST_SKIP() << "SKIPPED: " << shm << " is missing or on the file system of "
                     << machine.root;
    }
    const vorlan::testing::TemporaryFolder elsewhere("dist", shm);
    machine.dist = elsewhere / "dist";
    machine.add_distribution();
    std::vector<CopiedFile> copies = machine.default_copies();
    // About 75 MB: more than one batch, so that one is published while the
    // next is read from the other file system.
    for (int i = 0; i < 600; ++i) {
        const auto name = "htdocs/page" + std::to_string(i) + ".bin";
        copies.push_back({name, machine.c(apache_dir) / name});
    }
    for (const unsigned version : {0u, 1u}) {
        // The same sizes in both, so that the re-run compares every byte.
        for (unsigned i = 0; i < copies.size(); ++i) {
            write_file(
                machine.dist / copies[i].source,
                vorlan::testing::binary_content(50'000 + i * 7919 % 150'000, i + version * 1000));
        }
        const auto run = machine.run(accept_defaults);
        EXPECT_EQ(run.exit_status, 0) << run.out << run.err;
        std::vector<fs::path> differing;
        for (const auto &[source, target] : copies) {
            if (read_file(target) != read_file(machine.dist / source)) {
                differing.push_back(source);
            }
        }
        EXPECT_TRUE(differing.empty()) << differing.size() << " of " << copies.size()
                                       << " files differ from their sources after version "
                                       << version << ", the first " << differing.front();
    }
}

TEST_F(Install, TomcatOnAnotherDriveGetsItsToolkitThere) {
    const fs::path drive_d = machine.root / "drive_d";
    fs::create_directories(drive_d);
    machine.map_drive('d', drive_d);
    machine.add_servlet_container(drive_d / "tomcat-3.3");
    const auto run = machine.run("y\n\n\nd:\\Tomcat-3.3\n\n");
    ASSERT_EQ(run.exit_status, 0) << run.out << run.err;
    EXPECT_EQ(describe_tree(drive_d / "pja_2.4"), "lib/pja.jar: pja jar bytes\n"
                                                  "lib/vorlan.jar: vorlan jar bytes\n");
    const auto workers = read_file(drive_d / "tomcat-3.3/conf/jk/vorlan_worker.properties");
    EXPECT_NE(workers.find("worker.ajp12.port=8007\r\n"), std::string::npos);
    EXPECT_NE(read_file(drive_d / "tomcat-3.3/bin/startup.bat")
                  .find("set CLASSPATH=%CLASSPATH%;d:\\pja_2.4\\lib\\pja.jar;d:\\pja_2.4\\"),
              std::string::npos);
    EXPECT_EQ(read_file(drive_d / "tomcat-3.3/webapps/vorlan.war"), "war bytes");
}

TEST_F(Install, PercentSignsReachEveryLineUnchanged) {
    const fs::path tomcat = machine.c("Tomcat 100%");
    machine.add_servlet_container(tomcat);
    const auto run = machine.run("y\nC:\\%PATH%\\jdk\n\nC:\\Tomcat 100%\n\n");
    ASSERT_EQ(run.exit_status, 0) << run.out << run.err;
    EXPECT_EQ(read_file(tomcat / "bin/shutdown.bat"),
              "set JAVA_HOME=C:\\%PATH%\\jdk\r\n" + std::string(original_shutdown_bat));
    EXPECT_NE(read_file(tomcat / "bin/tomcat.reg").find("-Duser.home=C:\\\\%PATH%\\\\jdk\\\\jre"),
              std::string::npos);
    EXPECT_NE(machine.apache_file("conf/httpd.conf")
                  .find("Include \"C:\\Tomcat 100%\\conf\\jk\\vorlan_mod_jk.conf\""),
              std::string::npos);
    EXPECT_EQ(read_file(tomcat / "webapps/vorlan.war"), "war bytes");
}

TEST_F(Install, AnAnswerBeginningWithASpaceIsTakenAsTyped) {
    const auto run = machine.run("y\n C:\\jdk\n\n\n\n");
    ASSERT_EQ(run.exit_status, 0) << run.out << run.err;
    EXPECT_EQ(machine.tomcat_file("bin/shutdown.bat"),
              "set JAVA_HOME= C:\\jdk\r\n" + std::string(original_shutdown_bat));
}

TEST_F(Install, WithoutWindowsFontsTheWinNtDirectoryIsNamed) {
    machine.remove_windows_fonts();
    ASSERT_EQ(machine.run(accept_defaults).exit_status, 0);
    EXPECT_NE(machine.tomcat_file("bin/tomcat.reg").find("-Djava.awt.fonts=C:\\\\WinNT\\\\Fonts"),
              std::string::npos);
}

// The copy would otherwise ask whether the folder names a file or a folder,
// with nobody at a pipe to answer.
TEST_F(Install, AMissingDocumentRootIsMade) {
    fs::remove_all(machine.c(apache_dir) / "htdocs");
    const auto run = machine.run(accept_defaults);
    EXPECT_TRUE(prints(run, own(all_questions) + copied_web_files + copied_jars +
                                copied_modules_and_archives + own(completion)));
    EXPECT_EQ(run.exit_status, 0);
    EXPECT_EQ(describe_tree(machine.c(apache_dir) / "htdocs"),
              describe_tree(machine.dist / "htdocs"));
}

// A Windows program holds a file as a virus scanner or an indexer may, for a
// moment or for too long; a Linux process's open would be invisible to Wine.
TEST_F(Install, AFileHeldForAMomentIsWaitedForAndOneHeldTooLongStopsTheRun) {
    const char *holder = std::getenv("VORLAN_HOLD_FILE");
    if (!under_wine() || holder == nullptr) {
        GTEST_SKIP() << "SKIPPED: needs the Windows build and VORLAN_HOLD_FILE "
                        "(tools/test-windows.sh sets both)";
    }
    struct Hold {
        std::string_view file;
        const char *milliseconds;
        int status;
        std::string_view complaint;
        std::string_view old_content;
        std::string_view new_content;
        const char *sharing = "read";
    };
    const std::string tomcat_reg = std::string(tomcat_dir) + "/bin/tomcat.reg";
    const std::string httpd_conf = std::string(apache_dir) + "/conf/httpd.conf";
    const Hold table[] = {
        {tomcat_reg, "2500", 0, "", "an older script\r\n", registry_script_defaults},
        {httpd_conf, "2500", 0, "", original_httpd_conf, httpd_conf_after_one_run},
        {tomcat_reg, "60000", 1, "***ERROR*** cannot write file", "an older script\r\n", ""},
        {httpd_conf, "60000", 1, "***ERROR*** cannot replace file", original_httpd_conf, ""},
        // Held by a writer, it cannot even be read: not missing, for all that.
        {httpd_conf, "60000", 1, "***ERROR*** cannot read file", original_httpd_conf, "", "none"},
    };
    for (const Hold &row : table) {
        const std::string held_windows = windows_path(row.file);
        SCOPED_TRACE(held_windows + " held for " + row.milliseconds + " ms");
        const fs::path held = machine.c(row.file);
        write_file(held, std::string(row.old_content));
        const fs::path ready = machine.root / "held";
        auto hold = std::async(std::launch::async, [&] {
            return machine.run_windows_program(
                {holder, held_windows, row.milliseconds, "Z:" + ready.string(), row.sharing});
        });
        for (int look = 0; look < 3000 && !fs::exists(ready); ++look) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        ASSERT_TRUE(fs::exists(ready)) << "the file was never held";
        const auto run = machine.run(accept_defaults);
        fs::remove(ready); // lets go
        EXPECT_EQ(hold.get().exit_status, 0);
        EXPECT_EQ(run.exit_status, row.status) << run.out << run.err;
        if (row.status == 0) {
            EXPECT_EQ(read_file(held), row.new_content);
            continue;
        }
        EXPECT_NE(run.out.find("***WARNING*** file " + held_windows +
                               " is in use by another program; waiting. . .\n"),
                  std::string::npos)
            << run.out;
        EXPECT_NE(run.out.find(std::string(row.complaint) + " " + held_windows), std::string::npos)
            << run.out;
        EXPECT_EQ(read_file(held), row.old_content);
        EXPECT_EQ(describe_tree(held.parent_path()).find(".vorlan-copy-"), std::string::npos);
    }
}

} // namespace
} // namespace e2e
