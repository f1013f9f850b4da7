#include "settings/install_settings.h"
#include "support/files.h"
#include "writers/container_scripts.h"
#include "writers/file_mechanics.h"
#include "writers/registry_script.h"
#include "writers/web_server_config.h"
#include "writers/workers_file.h"

#include <gtest/gtest.h>

namespace vorlan::writers {
namespace {

using settings::StageResult;
using testing::read_file;
using testing::ScratchDir;
using testing::write_file;

struct FilterCase {
    const char *what;
    std::string input;
    std::string expected;
};

std::string filtered(const std::string &input, std::vector<std::string_view> prefixes) {
    ScratchDir dir;
    write_file("in.txt", input);
    platform::TextReader reader;
    platform::TextWriter writer;
    EXPECT_TRUE(reader.open("in.txt"));
    EXPECT_TRUE(writer.write_into(std::fopen("out.txt", "wb")));
    copy_filtered(reader, writer, prefixes);
    EXPECT_TRUE(writer.close());
    return read_file("out.txt");
}

TEST(CopyFiltered, KeepsWholeLinesAndEveryByte) {
    const std::string long_tail(300, 'x');
    const FilterCase table[] = {
        {"empty file", "", ""},
        {"LF becomes CR LF", "a\nb\n", "a\r\nb\r\n"},
        {"mixed line ends", "a\r\nb\nc\r\n", "a\r\nb\r\nc\r\n"},
        {"last line without end", "a\nlast", "a\r\nlast"},
        {"lone CR is data", "a\rb\r\r\n", "a\rb\r\r\n"},
        {"NUL and Ctrl-Z survive",
         std::string("a\0b\x1a"
                     "c\n\x1a\n",
                     8),
         std::string("a\0b\x1a"
                     "c\r\n\x1a\r\n",
                     10)},
        {"matching lines go", "Include x\nkeep\n#configured by\n", "keep\r\n"},
        {"other case and indent stay", "include x\n  Include y\nINCLUDE z\n",
         "include x\r\n  Include y\r\nINCLUDE z\r\n"},
        {"a prefix alone is a match", "Include\nInclud\n", "Includ\r\n"},
        {"a long matching line goes whole", "Include " + long_tail + "\nafter\n", "after\r\n"},
        {"a long kept line stays whole", long_tail + "Include\n", long_tail + "Include\r\n"},
        {"matching last line without end", "keep\nInclude z", "keep\r\n"},
    };
    for (const auto &row : table) {
        EXPECT_EQ(filtered(row.input, {"Include", "#configured"}), row.expected) << row.what;
    }
}

TEST(CopyFiltered, LinesLongerThanTheReadBufferStayWhole) {
    const std::string huge(3 << 20, 'h');
    EXPECT_EQ(filtered(huge + "\nInclude " + huge + "\nend", {"Include"}), huge + "\r\nend");
}

TEST(RewriteFiltered, HeadAndTailAroundTheFilteredCopy) {
    ScratchDir dir;
    write_file("conf/t.conf", "set A=1\nkeep\n");
    const RewriteJob job{.target = "conf\\t.conf",
                         .scratch = "conf\\t.npm",
                         .prefixes = {"set A"},
                         .head_lines = {"set A=2"},
                         .tail_lines = {"tail"}};
    ASSERT_EQ(rewrite_filtered(job), RewriteResult::done);
    EXPECT_EQ(read_file("conf/t.conf"), "set A=2\r\nkeep\r\ntail\r\n");
    EXPECT_EQ(read_file("conf/t.npm"), "set A=2\r\nkeep\r\ntail\r\n");
    ASSERT_EQ(rewrite_filtered(job), RewriteResult::done);
    EXPECT_EQ(read_file("conf/t.conf"), "set A=2\r\nkeep\r\ntail\r\ntail\r\n");
}

TEST(RewriteFiltered, AnUnendedLastLineIsEndedByTheFirstTailLine) {
    ScratchDir dir;
    write_file("httpd.conf", "Listen 80\nServerName x");
    ASSERT_EQ(rewrite_filtered({.target = "httpd.conf",
                                .scratch = "httpd.npm",
                                .prefixes = {"Include"},
                                .head_lines = {},
                                .tail_lines = {"", "#marker"}}),
              RewriteResult::done);
    EXPECT_EQ(read_file("httpd.conf"), "Listen 80\r\nServerName x\r\n#marker\r\n");
}

TEST(RewriteFiltered, StartupScriptLosesOnlyItsOwnSettings) {
    ScratchDir dir;
    write_file("tc/bin/startup.bat", "@echo off\n"
                                     "set JAVA_HOME=C:\\old\n"
                                     "SET JAVA_HOME=C:\\caps\n"
                                     "  set CLASSPATH=indented\r\n"
                                     "set JAVA_HOMEDIR=longer name\n"
                                     "set JAVA_OPTS=-Xmx1g\r\n"
                                     "set CLASSPATH=x\n"
                                     "rem end");
    const auto s = settings::derive_settings({"C:\\jdk", "web", "tc"}, true);
    ASSERT_EQ(rewrite_filtered(startup_script_job(s)), RewriteResult::done);
    EXPECT_EQ(
        read_file("tc/bin/startup.bat"),
        "set CLASSPATH=%CLASSPATH%;t:\\pja_2.4\\lib\\pja.jar;t:\\pja_2.4\\lib\\pjatools.jar\r\n"
        "set JAVA_HOME=C:\\jdk\r\n"
        "set JAVA_OPTS=-Xbootclasspath/a:t:\\pja_2.4\\lib\\pja.jar "
        "-Djava.awt.fonts=C:\\WINDOWS\\Fonts -Duser.home=%JAVA_HOME%\\jre\r\n"
        "@echo off\r\n"
        "SET JAVA_HOME=C:\\caps\r\n"
        "  set CLASSPATH=indented\r\n"
        "rem end");
}

TEST(RewriteFiltered, MissingTargetLeavesAnEmptyScratchWhereItsDirectoryIs) {
    ScratchDir dir;
    std::filesystem::create_directory("conf");
    write_file("conf/t.npm", "old scratch");
    EXPECT_EQ(rewrite_filtered({.target = "conf\\t.conf",
                                .scratch = "conf\\t.npm",
                                .prefixes = {},
                                .head_lines = {"x"},
                                .tail_lines = {}}),
              RewriteResult::target_missing);
    EXPECT_EQ(read_file("conf/t.npm"), "");
    EXPECT_EQ(rewrite_filtered({.target = "gone\\t.conf",
                                .scratch = "gone\\t.npm",
                                .prefixes = {},
                                .head_lines = {},
                                .tail_lines = {}}),
              RewriteResult::target_missing);
    EXPECT_FALSE(std::filesystem::exists("gone"));
}

TEST(RewriteFiltered, UnwritableScratchRunsNoCopy) {
    ScratchDir dir;
    write_file("t.conf", "content\n");
    std::filesystem::create_directory("t.npm"); // a directory cannot be written as a file
    EXPECT_EQ(rewrite_filtered({.target = "t.conf",
                                .scratch = "t.npm",
                                .prefixes = {},
                                .head_lines = {"x"},
                                .tail_lines = {}}),
              RewriteResult::scratch_unwritable);
    EXPECT_EQ(read_file("t.conf"), "content\n");
}

TEST(WriteOnce, CreatesOnceAndNeverOverwrites) {
    ScratchDir dir;
    EXPECT_EQ(write_once("f.properties", {"a", "", "b"}), StageResult::go_on);
    EXPECT_EQ(read_file("f.properties"), "a\r\n\r\nb\r\n");
    write_file("empty.conf", "");
    EXPECT_EQ(write_once("empty.conf", {"a"}), StageResult::go_on);
    EXPECT_EQ(read_file("empty.conf"), "");
    EXPECT_EQ(write_once("missing\\f.conf", {"a"}), StageResult::stop);
}

TEST(DoubleChar, DoublesEveryOccurrence) {
    EXPECT_EQ(double_char("", '\\'), "");
    EXPECT_EQ(double_char("plain", '\\'), "plain");
    EXPECT_EQ(double_char("C:\\a\\\\b\\", '\\'), "C:\\\\a\\\\\\\\b\\\\");
}

settings::InstallSettings settings_for(const char *tomcat_dir) {
    return settings::derive_settings({"C:\\jdk", "C:\\web", tomcat_dir}, true);
}

TEST(Formats, OneProtocolThroughout) {
    for (const auto *tomcat : {"C:\\tomcat-3.3", "C:\\tomcat-4.0"}) {
        const auto s = settings_for(tomcat);
        const std::string chosen = s.use_ajp12 ? "ajp12" : "ajp13";
        const std::string other = s.use_ajp12 ? "ajp13" : "ajp12";
        const auto config = connector_config_lines(s);
        ASSERT_EQ(config.size(), 12u);
        for (std::size_t i = 6; i <= 10; ++i) {
            EXPECT_TRUE(config[i].ends_with(" " + chosen)) << config[i];
        }
        const auto workers = workers_file_lines(s.use_ajp12);
        ASSERT_EQ(workers.size(), 7u);
        EXPECT_EQ(workers[2], "worker.list=ajp12, ajp13");
        for (std::size_t i = 3; i < workers.size(); ++i) {
            EXPECT_EQ(workers[i].find(other), std::string::npos) << workers[i];
        }
    }
    EXPECT_EQ(workers_file_lines(true)[4], "worker.ajp12.port=8007");
    EXPECT_EQ(workers_file_lines(false)[4], "worker.ajp13.port=8009");
}

TEST(Formats, ScriptJobsOwnExactlyTheirVariables) {
    const auto s = settings_for("C:\\tomcat");
    const auto startup = startup_script_job(s);
    EXPECT_EQ(startup.prefixes,
              (std::vector<std::string_view>{"set JAVA_HOME", "set JAVA_OPTS", "set CLASSPATH"}));
    for (const auto &line : startup.head_lines) {
        EXPECT_TRUE(line.starts_with("set JAVA_HOME") || line.starts_with("set JAVA_OPTS") ||
                    line.starts_with("set CLASSPATH"))
            << line;
    }
    const auto shutdown = shutdown_script_job(s);
    EXPECT_EQ(shutdown.prefixes, (std::vector<std::string_view>{"set JAVA_HOME"}));
    EXPECT_EQ(shutdown.head_lines, (std::vector<std::string>{"set JAVA_HOME=C:\\jdk"}));
}

TEST(Formats, RegistryScriptDoublesBackslashesInValuesOnly) {
    const auto lines =
        registry_script_lines(settings::derive_settings({"C:\\j\\\\k", "W", "D:\\t"}, false));
    ASSERT_EQ(lines.size(), 8u);
    EXPECT_EQ(lines[4],
              "\"JVM Option Number 2\"=\"-Xbootclasspath/a:D:\\\\pja_2.4\\\\lib\\\\pja.jar\"");
    EXPECT_EQ(lines[5], "\"JVM Option Number 3\"=\"-Djava.awt.fonts=C:\\\\WinNT\\\\Fonts\"");
    EXPECT_EQ(lines[6], "\"JVM Option Number 4\"=\"-Duser.home=C:\\\\j\\\\\\\\k\\\\jre\"");
}

} // namespace
} // namespace vorlan::writers
