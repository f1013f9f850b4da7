#include "platform/posix/temporary.h"
#include "posix_command_capture.h"
#include "support/wine_prefix.h"

#include <gtest/gtest.h>

#include <sys/resource.h>

#include <csignal>
#include <string>
#include <vector>

namespace vorlan::platform::posix {
namespace {

namespace fs = std::filesystem;
using testing::binary_content;
using testing::Files;
using testing::files_below;
using testing::read_file;
using testing::run;
using testing::ScopedCurrentDirectory;
using testing::WinePrefix;
using testing::write_file;

using Lines = std::vector<std::string>;

class XcopyCommand : public ::testing::Test {
  protected:
    XcopyCommand() {
        write_file(c("src/b.txt"), "b");
        write_file(c("src/A.TXT"), "a");
        write_file(c("src/Sub/c.txt"), "c");
        write_file(c("src/Sub/deeper/d.bin"), binary_content(200000, 4));
        fs::create_directories(c("src/empty"));
        fs::create_directories(c("src/only dirs/inner"));
    }

    fs::path c(const fs::path &relative) const { return prefix.drive_c() / relative; }

    WinePrefix prefix;
};

TEST_F(XcopyCommand, CopiesTheWholeTreeAndListsIt) {
    const auto result = run(R"(xcopy C:\Src\*.* C:\dst /s)");
    EXPECT_EQ(result.status, 0);
    EXPECT_TRUE(result.err.empty());
    EXPECT_EQ(result.out, (Lines{R"(C:\Src\A.TXT)", R"(C:\Src\b.txt)", R"(C:\Src\Sub\c.txt)",
                                 R"(C:\Src\Sub\deeper\d.bin)", "4 File(s) copied"}));
    EXPECT_EQ(files_below(c("dst")), files_below(c("src")));
    EXPECT_FALSE(fs::exists(c("dst/empty")));
    EXPECT_FALSE(fs::exists(c("dst/only dirs")));
}

TEST_F(XcopyCommand, MatchesThePatternAtEveryLevel) {
    const auto result = run(R"(xcopy "C:\src\*.TXT" "C:\new dir\deep" /s > NUL)");
    EXPECT_EQ(result.status, 0);
    EXPECT_TRUE(result.out.empty());
    EXPECT_EQ(files_below(c("new dir/deep")),
              (Files{{"A.TXT", "a"}, {"b.txt", "b"}, {"Sub/c.txt", "c"}}));
    EXPECT_FALSE(fs::exists(c("new dir/deep/Sub/deeper")));
}

TEST_F(XcopyCommand, UsesExistingDestinationsWhateverTheirCase) {
    write_file(c("DST/SUB/C.TXT"), "old c");
    write_file(c("DST/a.txt"), "old a");
    ASSERT_EQ(run(R"(xcopy C:\src\*.* C:\dst /s /y)").status, 0);
    EXPECT_EQ(files_below(c("DST")), (Files{{"a.txt", "a"},
                                            {"b.txt", "b"},
                                            {"SUB/C.TXT", "c"},
                                            {"SUB/deeper/d.bin", binary_content(200000, 4)}}));
}

TEST_F(XcopyCommand, ComplainsWhenNothingMatches) {
    for (const char *line :
         {R"(xcopy C:\src\*.xyz C:\dst /s)", R"(xcopy C:\nowhere\*.xyz C:\dst /s)",
          R"(xcopy Q:\src\*.xyz C:\dst /s)"}) {
        const auto result = run(line);
        EXPECT_EQ(result.status, 1) << line;
        EXPECT_EQ(result.err, Lines{"File not found - *.xyz"}) << line;
        EXPECT_EQ(result.out, Lines{"0 File(s) copied"}) << line;
    }
    EXPECT_FALSE(fs::exists(c("dst")));
}

TEST_F(XcopyCommand, TakesADirectoryForAllOfItsFiles) {
    const auto result = run(R"(xcopy C:\src\sub C:\dst /s)");
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.out,
              (Lines{R"(C:\src\sub\c.txt)", R"(C:\src\sub\deeper\d.bin)", "2 File(s) copied"}));
}

TEST_F(XcopyCommand, StopsAtAReadOnlyFile) {
    write_file(c("dst/Sub/c.txt"), "old c");
    fs::permissions(c("dst/Sub/c.txt"), fs::perms(0444));
    const auto result = run(R"(xcopy C:\src\*.* C:\dst /s)");
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.err, Lines{"Access is denied."});
    EXPECT_EQ(result.out, (Lines{R"(C:\src\A.TXT)", R"(C:\src\b.txt)", "2 File(s) copied"}));
    EXPECT_EQ(read_file(c("dst/Sub/c.txt")), "old c");
}

TEST_F(XcopyCommand, RefusesToCopyATreeIntoItself) {
    const auto result = run(R"(xcopy C:\src\*.* C:\SRC\sub\copy /s)");
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.err, Lines{"Cannot perform a cyclic copy"});
    EXPECT_FALSE(fs::exists(c("src/Sub/copy")));
}

TEST_F(XcopyCommand, DoesNotFollowALinkBackUpTheTree) {
    fs::create_directory_symlink("..", c("src/Sub/up"));
    const auto result = run(R"(xcopy C:\src\*.* C:\dst /s)");
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.out.back(), "4 File(s) copied");
}

TEST_F(XcopyCommand, CopiesFromTheCurrentDirectory) {
    const ScopedCurrentDirectory inside(c("src/Sub"));
    const auto result = run(R"(xcopy *.* ..\..\dst /s)");
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.out, (Lines{"c.txt", R"(deeper\d.bin)", "2 File(s) copied"}));
    EXPECT_EQ(read_file(c("dst/c.txt")), "c");
}

TEST_F(XcopyCommand, CopiesAWideTreeCompletely) {
    fs::remove_all(c("src"));
    int count = 0;
    for (int directory = 0; directory < 20; ++directory) {
        for (int file = 0; file < 15; ++file, ++count) {
            const auto relative = "d" + std::to_string(directory % 4) + "/e" +
                                  std::to_string(directory) + "/f" + std::to_string(file);
            write_file(c("src") / relative,
                       binary_content(static_cast<std::size_t>(file * 97), count));
        }
    }
    const auto result = run(R"(xcopy C:\src\*.* C:\dst /s)");
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.out.size(), static_cast<std::size_t>(count) + 1);
    EXPECT_EQ(result.out.back(), std::to_string(count) + " File(s) copied");
    EXPECT_EQ(files_below(c("dst")), files_below(c("src")));
}

// A re-run compares files ahead of its copies; none after a failure happens.
TEST_F(XcopyCommand, ARerunStopsAtAReadOnlyFileAndLeavesTheFilesAfterIt) {
    fs::remove_all(c("src"));
    Lines listed;
    for (int i = 10; i < 50; ++i) {
        const std::string name = "f" + std::to_string(i);
        write_file(c("src") / name, "new " + name);
        write_file(c("dst") / name, (i % 3 == 0 ? "new " : "old ") + name);
        if (i < 31) {
            listed.push_back(R"(C:\src\)" + name);
        }
    }
    fs::permissions(c("dst/f31"), fs::perms(0444));
    listed.push_back("21 File(s) copied");
    const auto result = run(R"(xcopy C:\src\*.* C:\dst /s)");
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.err, Lines{"Access is denied."});
    EXPECT_EQ(result.out, listed);
    for (int i = 10; i < 50; ++i) {
        const std::string name = "f" + std::to_string(i);
        EXPECT_EQ(read_file(c("dst") / name), (i < 31 || i % 3 == 0 ? "new " : "old ") + name);
    }
}

// Under a limit on file sizes the 22nd new file fails as it is filled, once
// the files after it were made: those go again, as if never begun.
TEST_F(XcopyCommand, AFirstCopyStopsAtAFileItCannotWriteAndLeavesNoneAfterIt) {
    fs::remove_all(c("src"));
    Lines listed;
    Files copied;
    for (int i = 10; i < 50; ++i) {
        const std::string name = "f" + std::to_string(i);
        write_file(c("src") / name, i == 31 ? binary_content(1 << 17, 1) : name);
        if (i < 31) {
            listed.push_back(R"(C:\src\)" + name);
            copied[name] = name;
        }
    }
    listed.push_back("21 File(s) copied");
    rlimit before{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &before), 0);
    const rlimit small{1 << 16, before.rlim_max};
    const auto on_too_big = std::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    const auto result = run(R"(xcopy C:\src\*.* C:\dst /s)");
    ::setrlimit(RLIMIT_FSIZE, &before);
    std::signal(SIGXFSZ, on_too_big);
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.err, Lines{"There is not enough space on the disk."});
    EXPECT_EQ(result.out, listed);
    EXPECT_EQ(files_below(c("dst")), copied);
}

// The batch that ends with a.txt is published while the next fills: b.txt,
// a link to a.txt, is looked up before a.txt holds its new bytes, and must
// not be taken for a copy already in place. The read-only c.txt then stops
// the command after both batches are in place, before d.txt.
TEST_F(XcopyCommand, CopiesAcrossABatchInFlightAsIfOneAfterAnother) {
    fs::remove_all(c("src"));
    const int before_a =
        static_cast<int>(PublishBatch::files_allowed(raise_descriptor_limit())) - 1;
    for (int i = 10000; i < 10000 + before_a; ++i) {
        write_file(c("src") / std::to_string(i), "new");
        write_file(c("dst") / std::to_string(i), "old");
    }
    write_file(c("src/a.txt"), "new a");
    write_file(c("dst/a.txt"), "old a");
    write_file(c("src/b.txt"), "old a");
    fs::create_symlink("a.txt", c("dst/b.txt"));
    write_file(c("src/c.txt"), "new c");
    write_file(c("dst/c.txt"), "old c");
    fs::permissions(c("dst/c.txt"), fs::perms(0444));
    write_file(c("src/d.txt"), "d");
    const auto result = run(R"(xcopy C:\src\*.* C:\dst /s)");
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.err, Lines{"Access is denied."});
    EXPECT_EQ(result.out.size(), static_cast<std::size_t>(before_a) + 3);
    EXPECT_EQ(result.out.back(), std::to_string(before_a + 2) + " File(s) copied");
    EXPECT_EQ(read_file(c("dst/a.txt")), "old a");
    EXPECT_EQ(read_file(c("dst") / std::to_string(10000 + before_a - 1)), "new");
    EXPECT_FALSE(fs::exists(c("dst/d.txt")));
}

} // namespace
} // namespace vorlan::platform::posix
