#include "platform/command.h"
#include "posix_command_capture.h"
#include "support/wine_prefix.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

namespace vorlan::platform::posix {
namespace {

namespace fs = std::filesystem;
using testing::binary_content;
using testing::mode_bits;
using testing::read_file;
using testing::run;
using testing::ScopedCurrentDirectory;
using testing::WinePrefix;
using testing::write_file;

using Lines = std::vector<std::string>;

std::set<std::string> names_in(const fs::path &directory) {
    std::set<std::string> names;
    for (const auto &entry : fs::directory_iterator(directory)) {
        names.insert(entry.path().filename().native());
    }
    return names;
}

class CopyCommand : public ::testing::Test {
  protected:
    fs::path c(const fs::path &relative) const { return prefix.drive_c() / relative; }

    WinePrefix prefix;
};

TEST_F(CopyCommand, CopiesOneFileByteForByte) {
    const std::string content = binary_content(3 * 1024 * 1024 + 17, 1);
    write_file(c("src/data.bin"), content);
    const auto result = run(R"(copy C:\src\data.bin C:\copy.bin)");
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.out, Lines{"        1 file(s) copied."});
    EXPECT_TRUE(result.err.empty());
    EXPECT_EQ(read_file(c("copy.bin")), content);
}

TEST_F(CopyCommand, FindsSourceTargetAndTheFileItReplacesWhateverTheirCase) {
    write_file(c("Src/readme.txt"), "new");
    write_file(c("Dst/Readme.TXT"), "old and longer");
    write_file(c("Dst/other"), "other");
    EXPECT_EQ(run(R"(copy "c:\SRC\README.TXT" "C:\dst")").status, 0);
    EXPECT_EQ(names_in(c("Dst")), (std::set<std::string>{"Readme.TXT", "other"}));
    EXPECT_EQ(read_file(c("Dst/Readme.TXT")), "new");
}

TEST_F(CopyCommand, CopiesWhatAPatternMatchesInNameOrderAndListsIt) {
    write_file(c("Src/b.jar"), "b");
    write_file(c("Src/A.JAR"), "a");
    write_file(c("Src/c.txt"), "c");
    fs::create_directories(c("Src/dir.jar"));
    fs::create_directories(c("dst"));
    const auto result = run("copy c:/src/*.JAR C:\\Dst");
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.out, (Lines{"c:/src/A.JAR", "c:/src/b.jar", "        2 file(s) copied."}));
    EXPECT_EQ(names_in(c("dst")), (std::set<std::string>{"A.JAR", "b.jar"}));
    EXPECT_EQ(read_file(c("dst/A.JAR")), "a");
    EXPECT_EQ(read_file(c("dst/b.jar")), "b");
}

TEST_F(CopyCommand, MatchesNamesWithoutADotWithStarDotStar) {
    write_file(c("src/LICENSE"), "l");
    write_file(c("src/x.y"), "x");
    fs::create_directories(c("dst"));
    const ScopedCurrentDirectory inside(c("src"));
    const auto result = run(R"(copy *.* C:\dst)");
    EXPECT_EQ(result.out, (Lines{"LICENSE", "x.y", "        2 file(s) copied."}));
    EXPECT_EQ(names_in(c("dst")), (std::set<std::string>{"LICENSE", "x.y"}));
}

TEST_F(CopyCommand, ComplainsWhenNothingMatches) {
    write_file(c("src/a.txt"), "a");
    for (const char *line : {R"(copy C:\src\*.jar C:\)", R"(copy C:\src\b.txt C:\)",
                             R"(copy C:\nowhere\*.* C:\)", R"(copy Q:\a.txt C:\)"}) {
        const auto result = run(line);
        EXPECT_EQ(result.status, 1) << line;
        EXPECT_EQ(result.out, Lines{"        0 file(s) copied."}) << line;
        EXPECT_EQ(result.err, Lines{"The system cannot find the file specified."}) << line;
    }
}

TEST_F(CopyCommand, ComplainsWhenTheTargetCannotBeReached) {
    write_file(c("a.txt"), "a");
    for (const char *line : {R"(copy C:\a.txt C:\nodir\b.txt)", R"(copy C:\a.txt Q:\b.txt)",
                             R"(copy C:\a.txt C:\newdir\)"}) {
        const auto result = run(line);
        EXPECT_EQ(result.status, 1) << line;
        EXPECT_EQ(result.err, Lines{"The system cannot find the path specified."}) << line;
    }
    EXPECT_FALSE(fs::exists(c("nodir")));
    EXPECT_FALSE(fs::exists(c("newdir")));
}

TEST_F(CopyCommand, RefusesSeveralFilesOntoOneFile) {
    write_file(c("src/a.txt"), "a");
    write_file(c("src/b.txt"), "b");
    const auto result = run(R"(copy C:\src\*.txt C:\joined.txt)");
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.err.size(), 1u);
    EXPECT_FALSE(fs::exists(c("joined.txt")));
}

TEST_F(CopyCommand, RefusesToCopyAFileOntoItself) {
    write_file(c("dir/a.txt"), "keep");
    for (const char *line : {R"(copy C:\dir\a.txt C:\DIR\A.TXT)", R"(copy C:\dir\a.txt C:\dir)",
                             R"(copy C:\dir\*.txt C:\dir\)"}) {
        const auto result = run(line);
        EXPECT_EQ(result.status, 1) << line;
        EXPECT_EQ(result.err, Lines{"The file cannot be copied onto itself."}) << line;
        EXPECT_EQ(result.out.back(), "        0 file(s) copied.") << line;
    }
    EXPECT_EQ(read_file(c("dir/a.txt")), "keep");
    EXPECT_EQ(names_in(c("dir")), std::set<std::string>{"a.txt"});
}

TEST_F(CopyCommand, SaysNothingButComplaintsIntoNul) {
    write_file(c("a.txt"), "a");
    const auto copied = run(R"(copy "C:\a.txt" "C:\b.txt" > NUL)");
    EXPECT_EQ(copied.status, 0);
    EXPECT_TRUE(copied.out.empty());
    EXPECT_EQ(read_file(c("b.txt")), "a");
    const auto failed = run(R"(copy "C:\none.txt" "C:\b.txt" >nul)");
    EXPECT_EQ(failed.status, 1);
    EXPECT_TRUE(failed.out.empty());
    EXPECT_EQ(failed.err, Lines{"The system cannot find the file specified."});
}

TEST_F(CopyCommand, ReplacesAFileWholeKeepingItsPermissions) {
    write_file(c("scratch"), "new configuration\r\n");
    write_file(c("conf/app.ini"), "old configuration, somewhat longer\r\n");
    fs::permissions(c("scratch"), fs::perms(0600));
    fs::permissions(c("conf/app.ini"), fs::perms(0754));
    // Whoever has the old file open must go on reading all of the old bytes.
    const int reader = ::open(c("conf/app.ini").c_str(), O_RDONLY);
    ASSERT_GE(reader, 0);

    const auto result = run(R"(copy "C:\scratch" "C:\conf\APP.INI" > NUL)");

    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(read_file(c("conf/app.ini")), "new configuration\r\n");
    EXPECT_EQ(mode_bits(c("conf/app.ini")), 0754u);
    EXPECT_EQ(names_in(c("conf")), std::set<std::string>{"app.ini"});
    std::string old(64, '\0');
    const auto got = ::pread(reader, old.data(), old.size(), 0);
    ::close(reader);
    ASSERT_GT(got, 0);
    old.resize(static_cast<std::size_t>(got));
    EXPECT_EQ(old, "old configuration, somewhat longer\r\n");
}

TEST_F(CopyCommand, ReplacesTheFinalTargetOfALinkAndKeepsTheLink) {
    write_file(c("scratch"), "new");
    write_file(c("real/target.ini"), "old");
    fs::create_directories(c("conf"));
    fs::create_symlink("../real/target.ini", c("conf/middle.ini"));
    fs::create_symlink("middle.ini", c("conf/app.ini"));

    const auto result = run(R"(copy C:\scratch C:\conf\app.ini > NUL)");

    EXPECT_EQ(result.status, 0);
    EXPECT_TRUE(fs::is_symlink(c("conf/app.ini")));
    EXPECT_EQ(fs::read_symlink(c("conf/app.ini")), "middle.ini");
    EXPECT_EQ(fs::read_symlink(c("conf/middle.ini")), "../real/target.ini");
    EXPECT_EQ(read_file(c("real/target.ini")), "new");
    EXPECT_EQ(names_in(c("real")), std::set<std::string>{"target.ini"});
    EXPECT_EQ(names_in(c("conf")), (std::set<std::string>{"app.ini", "middle.ini"}));
}

TEST_F(CopyCommand, RefusesAReadOnlyTargetAndLeavesIt) {
    write_file(c("scratch"), "new");
    write_file(c("conf/app.ini"), "old");
    fs::permissions(c("conf/app.ini"), fs::perms(0444));
    fs::create_symlink("app.ini", c("conf/link.ini"));
    for (const char *line : {R"(copy C:\scratch C:\conf\app.ini > NUL)",
                             R"(copy C:\scratch C:\conf\LINK.ini > NUL)"}) {
        const auto result = run(line);
        EXPECT_EQ(result.status, 1) << line;
        EXPECT_EQ(result.err, Lines{"Access is denied."}) << line;
    }
    EXPECT_EQ(read_file(c("conf/app.ini")), "old");
    EXPECT_EQ(mode_bits(c("conf/app.ini")), 0444u);
    EXPECT_EQ(names_in(c("conf")), (std::set<std::string>{"app.ini", "link.ini"}));
}

TEST_F(CopyCommand, CopiesAFileWhoseSizeTheKernelDoesNotKnow) {
    const std::string version = read_file("/proc/version");
    ASSERT_FALSE(version.empty());
    const ScopedCurrentDirectory outside(prefix.outside());
    EXPECT_EQ(run(R"(copy \proc\version version.txt)").status, 0);
    EXPECT_EQ(read_file(prefix.outside() / "version.txt"), version);
}

// Reading /proc/self/mem at its start fails, which no ordinary file can be made to do.
TEST_F(CopyCommand, LeavesNoTraceOfACopyThatFailsHalfway) {
    write_file(c("conf/app.ini"), "old");
    const ScopedCurrentDirectory outside(prefix.outside());
    for (const char *line :
         {R"(copy \proc\self\mem C:\conf\app.ini)", R"(copy \proc\self\mem C:\conf\new.ini)"}) {
        const auto result = run(line);
        EXPECT_EQ(result.status, 1) << line;
        EXPECT_EQ(result.err.size(), 1u) << line;
    }
    EXPECT_EQ(read_file(c("conf/app.ini")), "old");
    EXPECT_EQ(names_in(c("conf")), std::set<std::string>{"app.ini"});
}

// The program's own output and the command's must come out in the order written.
TEST_F(CopyCommand, KeepsItsOutputInOrderWithTheProgramsOwn) {
    write_file(c("a.txt"), "a");
    const fs::path captured = prefix.tree() / "stdout.txt";
    std::fflush(stdout);
    const int saved = ::dup(STDOUT_FILENO);
    const int file = ::open(captured.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ASSERT_GE(file, 0);
    ::dup2(file, STDOUT_FILENO);
    ::close(file);
    std::fputs("before\n", stdout);
    const int status = run_command(R"(copy C:\a.txt C:\b.txt)");
    std::fputs("after\n", stdout);
    std::fflush(stdout);
    ::dup2(saved, STDOUT_FILENO);
    ::close(saved);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(read_file(captured), "before\n        1 file(s) copied.\nafter\n");
}

} // namespace
} // namespace vorlan::platform::posix
