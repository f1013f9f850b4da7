// Answers and machines nobody planned for, one scenario a row: each ends with
// a known exit status and last message, never crashes or hangs, and leaves
// every file that existed before either as it was or as the run rewrites it.
#include "support/scenario.h"
#include "support/transcript.h"

#include <gtest/gtest.h>

#include <functional>
#include <iostream>
#include <map>
#include <set>

namespace e2e {
namespace {

const std::string long_name = "C:\\" + std::string(100'000, 'v');

// The keys name files as "C:/..." on drive C and "root/..." elsewhere.
const std::string httpd_conf_key = "C:/" + std::string(apache_dir) + "/conf/httpd.conf";
const std::string startup_key = "C:/" + std::string(tomcat_dir) + "/bin/startup.bat";
const std::string shutdown_key = "C:/" + std::string(tomcat_dir) + "/bin/shutdown.bat";
const std::set<std::string> every_rewrite = {httpd_conf_key, startup_key, shutdown_key};

using vorlan::testing::Files;
using vorlan::testing::files_below;

// Every regular file of drive C but the Windows folder, and of the rest of
// the scenario's folder but the prefix.
Files files_of(const Scenario &machine) {
    Files files;
    for (const auto &[name, content] : files_below(machine.drive_c, {"windows"})) {
        files["C:/" + name] = content;
    }
    for (const auto &[name, content] : files_below(machine.root, {"prefix"})) {
        files["root/" + name] = content;
    }
    return files;
}

// Unless a row says otherwise, the run completes: status 0, the completion
// line last, nothing on standard error.
struct Row {
    std::string what;
    std::string input;
    int exit_status = 0;
    std::string last_words = completion;  // the end of standard output
    std::string complaints = "";          // standard error, on the native build
    std::set<std::string> rewritten = {}; // files that may change; every other one must stay
    std::function<void(const Scenario &)> prepare = nullptr;
    std::function<void(const Scenario &)> check = nullptr;
    const char *native_only = nullptr; // why the row means nothing under Wine
};

// Wine's xcopy asks whether a target that does not exist is a file or a
// folder and, once standard input has ended, asks forever.
const char *const xcopy_asks = "xcopy asks about the missing htdocs";

void run_row(const Row &row) {
    SCOPED_TRACE(row.what);
    if (row.native_only != nullptr && under_wine()) {
        std::cout << "native build only: " << row.what << " (" << row.native_only << ")\n";
        return;
    }
    Scenario machine = Scenario::default_machine();
    if (row.prepare) {
        row.prepare(machine);
    }
    const Files before = files_of(machine);

    const auto run = machine.run(row.input);
    EXPECT_FALSE(run.timed_out);
    EXPECT_EQ(run.exit_status, row.exit_status) << run.err;
    EXPECT_TRUE(run.out.ends_with(row.last_words)) << run.out.substr(run.out.size() - 300);
    EXPECT_EQ(run.err.find("Sanitizer"), std::string::npos) << run.err;
    EXPECT_EQ(run.err.find("runtime error"), std::string::npos) << run.err;
    // The interpreter's complaints differ where the build runs under Wine.
    if (!under_wine()) {
        EXPECT_EQ(run.err, row.complaints);
    }

    const Files after = files_of(machine);
    for (const auto &[key, content] : before) {
        const auto now = after.find(key);
        ASSERT_NE(now, after.end()) << key << " is gone";
        if (row.rewritten.count(key) == 0) {
            EXPECT_TRUE(now->second == content) << key << " changed";
        }
    }
    if (row.check) {
        row.check(machine);
    }
}

bool includes(const std::string &text, const std::string &part) {
    return text.find(part) != std::string::npos;
}

const std::string not_found_path = "The system cannot find the path specified.\n";
const std::string several_onto_one = "Cannot copy several files onto one file.\n";

TEST(BadInput, AnswersNobodyExpected) {
    const Row table[] = {
        {.what = "a Java directory of 100,000 characters is written as typed",
         .input = "y\n" + long_name + "\n\n\n\n",
         .rewritten = every_rewrite,
         .check =
             [](const Scenario &m) {
                 EXPECT_TRUE(m.tomcat_file("bin/shutdown.bat") ==
                             "set JAVA_HOME=" + long_name + "\r\n" +
                                 std::string(original_shutdown_bat));
                 EXPECT_TRUE(includes(m.tomcat_file("bin/startup.bat"),
                                      "set JAVA_HOME=" + long_name + "\r\nset JAVA_OPTS="));
             }},
        {.what = "a web server directory of 100,000 characters is not found",
         .input = "y\n\n" + long_name + "\n\n\n",
         .exit_status = 1,
         .last_words = "***ERROR*** file " + long_name + "\\conf\\httpd.conf not found\n",
         .complaints = "The filename or extension is too long.\n",
         .check = [](const Scenario &m) { EXPECT_FALSE(fs::exists(m.c("pja_2.4"))); }},
        {.what = "a Tomcat directory of 100,000 characters stops at the connector file",
         .input = "y\n\n\n" + long_name + "\n\n",
         .exit_status = 1,
         .last_words =
             "***ERROR*** cannot write file " + long_name + "\\conf\\jk\\vorlan_mod_jk.conf\n",
         .rewritten = {httpd_conf_key},
         .check =
             [](const Scenario &m) {
                 EXPECT_TRUE(
                     includes(m.apache_file("conf/httpd.conf"),
                              "Include \"" + long_name + "\\conf\\jk\\vorlan_mod_jk.conf\"\r\n"));
                 EXPECT_EQ(m.tomcat_file("bin/startup.bat"), original_startup_bat);
             }},
        {.what = "trailing backslashes reach every line as typed and name the same folders",
         .input = "y\nC:\\jdk\\\n" + apache_windows_dir + "\\\n" + tomcat_windows_dir + "\\\n\n",
         .rewritten = every_rewrite,
         .check =
             [](const Scenario &m) {
                 EXPECT_TRUE(includes(m.apache_file("conf/httpd.conf"),
                                      "Include \"" + tomcat_windows_dir +
                                          "\\\\conf\\jk\\vorlan_mod_jk.conf\"\r\n"));
                 EXPECT_TRUE(includes(m.tomcat_file("bin/startup.bat"),
                                      "-Duser.home=%JAVA_HOME%\\jre\r\n"));
                 EXPECT_EQ(m.tomcat_file("webapps/vorlan.war"), "war bytes");
                 EXPECT_EQ(m.apache_file("modules/mod_jk.dll"), "dll bytes");
             }},
        // Windows drops the dot that ends a component and the dots and spaces
        // that end a path; the answers are written as typed all the same.
        {.what = "a dot after an inner component of the web server directory names the real one",
         .input = "y\n\nC:\\Program Files.\\Apache Group\\Apache\n\n\n",
         .rewritten = every_rewrite,
         .check =
             [](const Scenario &m) {
                 EXPECT_EQ(m.apache_file("htdocs/jsp/main.jsp"), "<% out.print(1); %>\n");
                 EXPECT_EQ(m.apache_file("modules/mod_jk.dll"), "dll bytes");
             }},
        {.what = "a dot after the Tomcat directory names the real one",
         .input = "y\n\n\n" + tomcat_windows_dir + ".\n\n",
         .rewritten = every_rewrite,
         .check =
             [](const Scenario &m) {
                 EXPECT_TRUE(includes(m.apache_file("conf/httpd.conf"),
                                      "Include \"" + tomcat_windows_dir +
                                          ".\\conf\\jk\\vorlan_mod_jk.conf\""));
                 EXPECT_EQ(m.tomcat_file("webapps/vorlan.war"), "war bytes");
             }},
        {.what = "a space after the Tomcat directory stays: the paths made from it go on past it",
         .input = "y\n\n\n" + tomcat_windows_dir + " \n\n",
         .exit_status = 1,
         .last_words = "***ERROR*** cannot write file " + tomcat_windows_dir +
                       " \\conf\\jk\\vorlan_mod_jk.conf\n",
         .rewritten = {httpd_conf_key},
         .check =
             [](const Scenario &m) {
                 EXPECT_FALSE(fs::exists(m.c(std::string(tomcat_dir) + " ")));
             }},
        // The start folder is on D:, so "D:tomcat" is in it.
        {.what = "a Tomcat directory after a bare drive letter is in that drive's current folder",
         .input = "y\n\n\nD:tomcat\n\n",
         .rewritten = {httpd_conf_key, "root/dist/tomcat/bin/startup.bat",
                       "root/dist/tomcat/bin/shutdown.bat"},
         .prepare =
             [](const Scenario &m) {
                 m.map_drive('d', m.root);
                 m.add_servlet_container(m.dist / "tomcat");
             },
         .check =
             [](const Scenario &m) {
                 EXPECT_EQ(read_file(m.dist / "tomcat/webapps/vorlan.war"), "war bytes");
                 EXPECT_EQ(read_file(m.root / "pja_2.4/lib/pja.jar"), "pja jar bytes");
                 EXPECT_TRUE(includes(m.apache_file("conf/httpd.conf"),
                                      "Include \"D:tomcat\\conf\\jk\\vorlan_mod_jk.conf\""));
             }},
        {.what = "a relative web server directory is taken from the start folder",
         .input = "y\n\n..\\web\n\n\n",
         .rewritten = {startup_key, shutdown_key, "root/web/conf/httpd.conf"},
         .prepare = [](const Scenario &m) { m.add_web_server(m.root / "web"); },
         .check =
             [](const Scenario &m) {
                 EXPECT_TRUE(includes(read_file(m.root / "web/conf/httpd.conf"), "#configured by"));
                 EXPECT_EQ(read_file(m.root / "web/modules/mod_jk.dll"), "dll bytes");
                 EXPECT_EQ(read_file(m.root / "web/htdocs/index.html"), "<html>Vorlan</html>\r\n");
             }},
        // The toolkit goes to the root of Tomcat's drive, and "..\tomcat"
        // names none: its jars cannot be placed, the rest is done.
        {.what = "a relative Tomcat directory leaves the toolkit out",
         .input = "y\n\n\n..\\tomcat\n\n",
         .exit_status = 2,
         .complaints = several_onto_one,
         .rewritten = {httpd_conf_key, "root/tomcat/bin/startup.bat",
                       "root/tomcat/bin/shutdown.bat"},
         .prepare = [](const Scenario &m) { m.add_servlet_container(m.root / "tomcat"); },
         .check =
             [](const Scenario &m) {
                 EXPECT_TRUE(includes(read_file(m.root / "tomcat/bin/startup.bat"),
                                      "set CLASSPATH=%CLASSPATH%;.:\\pja_2.4\\lib\\pja.jar;"));
                 EXPECT_EQ(read_file(m.root / "tomcat/webapps/vorlan.war"), "war bytes");
                 EXPECT_FALSE(fs::exists(m.c("pja_2.4")));
                 EXPECT_FALSE(fs::exists(m.dist / ".:"));
             }},
        // The start folder is on D: here, so "\web" is D:\web.
        {.what = "a web server directory beginning with a backslash is on the start folder's drive",
         .input = "y\n\n\\web\n\n\n",
         .rewritten = {startup_key, shutdown_key, "root/web/conf/httpd.conf"},
         .prepare =
             [](const Scenario &m) {
                 m.map_drive('d', m.root);
                 m.add_web_server(m.root / "web");
             },
         .check =
             [](const Scenario &m) {
                 EXPECT_TRUE(includes(read_file(m.root / "web/conf/httpd.conf"), "#configured by"));
                 EXPECT_EQ(read_file(m.root / "web/modules/mod_jk.dll"), "dll bytes");
             }},
        {.what = "a Tomcat directory beginning with a backslash has no drive for the toolkit",
         .input = "y\n\n\n\\tomcat\n\n",
         .exit_status = 2,
         .complaints = several_onto_one,
         .rewritten = {httpd_conf_key, "root/tomcat/bin/startup.bat",
                       "root/tomcat/bin/shutdown.bat"},
         .prepare =
             [](const Scenario &m) {
                 m.map_drive('d', m.root);
                 m.add_servlet_container(m.root / "tomcat");
             },
         .check =
             [](const Scenario &m) {
                 EXPECT_TRUE(includes(read_file(m.root / "tomcat/bin/shutdown.bat"),
                                      "set JAVA_HOME=" + java_windows_dir + "\r\n"));
                 EXPECT_FALSE(fs::exists(m.root / ":"));
             }},
    };
    for (const auto &row : table) {
        run_row(row);
    }
}

TEST(BadInput, OddBytesAndEndsOfInput) {
    const Row table[] = {
        {.what = "a NUL as the confirmation is not a yes",
         .input = std::string("\0\n\n\n\n\n", 6),
         .last_words = banner_and_confirmation + abort_message},
        {.what = "a NUL after the y is",
         .input = std::string("y\0\n\n\n\n\n", 7),
         .rewritten = every_rewrite},
        {.what = "a lone CR as the confirmation is not a yes",
         .input = "\ry\n\n\n\n\n",
         .last_words = banner_and_confirmation + abort_message},
        {.what = "a lone CR at the end of input is part of the answer",
         .input = "y\nC:\\jdk\r",
         .exit_status = 1,
         .last_words = "***ERROR*** invalid directory name: C:\\jdk\r\n"},
        {.what = "CR LF ends every answer",
         .input = "y\r\n\r\n\r\n\r\n\r\n",
         .rewritten = every_rewrite},
        {.what = "a NUL at the last prompt is ignored",
         .input = std::string("y\n\n\n\n\0\n", 7),
         .rewritten = every_rewrite},
        {.what = "the end of input inside the confirmation",
         .input = "y",
         .rewritten = every_rewrite},
        {.what = "the end of input inside the Java answer",
         .input = "y\nC:\\java",
         .rewritten = every_rewrite,
         .check =
             [](const Scenario &m) {
                 EXPECT_TRUE(
                     m.tomcat_file("bin/shutdown.bat").starts_with("set JAVA_HOME=C:\\java\r\n"));
             }},
        {.what = "the end of input inside the web server answer",
         .input = "y\n\nC:\\nowhere",
         .exit_status = 1,
         .last_words = "***ERROR*** file C:\\nowhere\\conf\\httpd.conf not found\n",
         .native_only = xcopy_asks},
        {.what = "the end of input inside the Tomcat answer",
         .input = "y\n\n\n" + tomcat_windows_dir,
         .rewritten = every_rewrite},
    };
    for (const auto &row : table) {
        run_row(row);
    }
}

TEST(BadInput, MachinesNobodyExpected) {
    const std::string jk_conf = tomcat_windows_dir + "\\conf\\jk\\vorlan_mod_jk.conf";
    const Row table[] = {
        {.what = "a web server on a drive that is not mapped is not found",
         .input = "y\n\nQ:\\Apache\n\n\n",
         .exit_status = 1,
         .last_words = "***ERROR*** file Q:\\Apache\\conf\\httpd.conf not found\n",
         .complaints = not_found_path,
         .check =
             [](const Scenario &m) {
                 EXPECT_FALSE(fs::exists(m.c("pja_2.4")));
                 EXPECT_FALSE(fs::exists(m.prefix / "dosdevices/q:"));
             },
         .native_only = xcopy_asks},
        {.what = "Tomcat on a drive that is not mapped stops at the connector file",
         .input = "y\n\n\nQ:\\Tomcat\n\n",
         .exit_status = 1,
         .last_words = "***ERROR*** cannot write file Q:\\Tomcat\\conf\\jk\\vorlan_mod_jk.conf\n",
         .complaints = not_found_path,
         .rewritten = {httpd_conf_key},
         .check =
             [](const Scenario &m) {
                 EXPECT_TRUE(includes(m.apache_file("conf/httpd.conf"),
                                      "Include \"Q:\\Tomcat\\conf\\jk\\vorlan_mod_jk.conf\""));
             }},
        {.what = "a Java SDK on a drive that is not mapped is only a name",
         .input = "y\nQ:\\jdk\n\n\n\n",
         .rewritten = every_rewrite},
        {.what =
             "a distribution without jar files: every other step is done, and the status says so",
         .input = "y\n\n\n\n\n",
         .exit_status = 2,
         .complaints = "The system cannot find the file specified.\n",
         .rewritten = every_rewrite,
         .prepare =
             [](const Scenario &m) {
                 fs::remove(m.dist / "pja.jar");
                 fs::remove(m.dist / "vorlan.jar");
             },
         .check =
             [](const Scenario &m) {
                 EXPECT_TRUE(fs::is_empty(m.c("pja_2.4/lib")));
                 EXPECT_TRUE(includes(m.tomcat_file("bin/tomcat.reg"), "REGEDIT4"));
                 EXPECT_EQ(m.tomcat_file("webapps/vorlan.war"), "war bytes");
             }},
        {.what = "a conf\\jk that cannot be made: a file holds its name",
         .input = "y\n\n\n\n\n",
         .exit_status = 1,
         .last_words = "***ERROR*** cannot write file " + jk_conf + "\n",
         .rewritten = {httpd_conf_key},
         .prepare =
             [](const Scenario &m) { write_file(m.c(tomcat_dir) / "conf/jk", "not a folder"); },
         .check =
             [](const Scenario &m) {
                 EXPECT_EQ(m.tomcat_file("bin/startup.bat"), original_startup_bat);
             }},
        {.what = "a scratch file that cannot be written stops before its target is touched",
         .input = "y\n\n\n\n\n",
         .exit_status = 1,
         .last_words =
             "***ERROR*** cannot write file " + apache_windows_dir + "\\conf\\httpd.npm\n",
         .prepare =
             [](const Scenario &m) { fs::create_directories(m.c(apache_dir) / "conf/httpd.npm"); },
         .check =
             [](const Scenario &m) {
                 EXPECT_TRUE(fs::is_directory(m.c(apache_dir) / "conf/httpd.npm"));
                 EXPECT_FALSE(fs::exists(m.c("pja_2.4")));
             }},
        {.what = "the startup script's scratch file that cannot be written",
         .input = "y\n\n\n\n\n",
         .exit_status = 1,
         .last_words =
             "***ERROR*** cannot write file " + tomcat_windows_dir + "\\bin\\startup.npm\n",
         .rewritten = {httpd_conf_key},
         .prepare =
             [](const Scenario &m) {
                 fs::create_directories(m.c(tomcat_dir) / "bin/startup.npm/x");
             },
         .check =
             [](const Scenario &m) {
                 EXPECT_TRUE(fs::is_directory(m.c(tomcat_dir) / "bin/startup.npm/x"));
                 EXPECT_FALSE(fs::exists(m.c(tomcat_dir) / "bin/tomcat.reg"));
             }},
        // As on Windows, a folder is no file that can be read.
        {.what = "an httpd.conf that is a folder is not found",
         .input = "y\n\n\n\n\n",
         .exit_status = 1,
         .last_words = "***ERROR*** file " + apache_windows_dir + "\\conf\\httpd.conf not found\n",
         .prepare =
             [](const Scenario &m) {
                 fs::remove(m.c(apache_dir) / "conf/httpd.conf");
                 write_file(m.c(apache_dir) / "conf/httpd.conf/inside.conf", "kept");
             },
         .check =
             [](const Scenario &m) {
                 EXPECT_EQ(m.apache_file("conf/httpd.conf/inside.conf"), "kept");
                 EXPECT_FALSE(fs::exists(m.c("pja_2.4")));
             }},
    };
    for (const auto &row : table) {
        run_row(row);
    }
}

} // namespace
} // namespace e2e
