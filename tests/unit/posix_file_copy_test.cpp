#include "platform/posix/cmd/copied_files.h"
#include "platform/posix/cmd/file_copy.h"
#include "platform/publish.h"
#include "support/files.h"
#include "support/wine_prefix.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>

namespace vorlan::platform::posix {
namespace {

namespace fs = std::filesystem;
using testing::binary_content;
using testing::mode_bits;
using testing::read_file;
using testing::TemporaryFolder;
using testing::write_file;

// Around the sizes where a copy that trusts the size it was told could stop
// one call early or late; the permission bits a new target takes from it.
constexpr struct {
    std::size_t size;
    unsigned mode;
} samples[] = {{0, 0644},
               {1, 0600},
               {4095, 0755},
               {4096, 0640},
               {4097, 0700},
               {(1 << 20) - 1, 0664},
               {(1 << 20) + 3, 0751}};

// One file copied and published at once.
CmdError copy_now(const FileAt &source, const FileAt &target, TargetLookup lookup) {
    PublishBatch batch;
    if (const CmdError error = copy_file_to(source, target, lookup, batch);
        error != CmdError::none) {
        return error;
    }
    return cmd_error_from_errno(batch.publish().error);
}

CmdError copy_now(const std::string &source, const std::string &target, TargetLookup lookup) {
    return copy_now(FileAt::by_whole_path(source), FileAt::by_whole_path(target), lookup);
}

struct stat status_of(const fs::path &path) {
    struct stat status {};
    EXPECT_EQ(::stat(path.c_str(), &status), 0) << path;
    return status;
}

TEST(CopyFileTo, NewTargetsGetEveryByteAndTheSourcesPermissionBitsAndTime) {
    TemporaryFolder tree;
    const mode_t creation_mask = ::umask(0);
    ::umask(creation_mask);
    for (const auto &[size, mode] : samples) {
        SCOPED_TRACE(size);
        const std::string content = binary_content(size, static_cast<unsigned>(size));
        const fs::path source = tree / ("in" + std::to_string(size));
        const fs::path target = tree / ("out" + std::to_string(size));
        write_file(source, content);
        fs::permissions(source, fs::perms(mode));
        const timespec written[2] = {{1'100'000'000, 0}, {1'200'000'000, 5000}};
        ASSERT_EQ(::utimensat(AT_FDCWD, source.c_str(), written, 0), 0);
        EXPECT_EQ(copy_now(source.native(), target.native(), TargetLookup::known_absent),
                  CmdError::none);
        EXPECT_EQ(read_file(target), content);
        EXPECT_EQ(mode_bits(target), mode & ~creation_mask);
        EXPECT_EQ(status_of(target).st_mtim.tv_sec, written[1].tv_sec);
        EXPECT_EQ(status_of(target).st_mtim.tv_nsec, written[1].tv_nsec);
    }
}

TEST(CopyFileTo, ReplacedTargetsGetEveryByteAndNothingOfTheOldOnes) {
    TemporaryFolder tree;
    const fs::path target = tree / "target";
    for (const auto &[size, mode] : samples) {
        SCOPED_TRACE(size);
        write_file(target, std::string(size + 5000, 'o'));
        const std::string content = binary_content(size, static_cast<unsigned>(size) + 7);
        const fs::path source = tree / "source";
        write_file(source, content);
        EXPECT_EQ(copy_now(source.native(), target.native(), TargetLookup::look_up),
                  CmdError::none);
        EXPECT_EQ(read_file(target), content);
    }
}

// A target that holds the source's bytes keeps its inode and times (reading
// it is no access to record), read-only or not; one differing byte
// anywhere, even past the first compared chunk, or bytes after the source's,
// has it replaced, unless it is read-only.
TEST(CopyFileTo, ATargetThatHoldsTheBytesAlreadyIsLeftAsItIs) {
    constexpr std::size_t same = std::string::npos;
    const struct {
        std::size_t size;
        std::size_t differs_at;
        unsigned mode;
        CmdError failure;
        std::size_t tail = 0; // bytes the target holds past the source's
    } table[] = {{0, same, 0644, CmdError::none},
                 {1, same, 0444, CmdError::none},
                 {first_compared_bytes + 1, same, 0644, CmdError::none},
                 {(1 << 20) + 3, same, 0444, CmdError::none},
                 {first_compared_bytes, 0, 0644, CmdError::none},
                 {first_compared_bytes + 1, first_compared_bytes, 0600, CmdError::none},
                 {(1 << 20) + 3, (1 << 20) + 2, 0644, CmdError::none},
                 {100, 50, 0444, CmdError::access_denied},
                 {100, same, 0644, CmdError::none, 1},
                 {first_compared_bytes, same, 0644, CmdError::none, 5000}};
    TemporaryFolder tree;
    const fs::path source = tree / "source";
    const fs::path target = tree / "target";
    for (const auto &row : table) {
        SCOPED_TRACE(std::to_string(row.size) + " bytes, differing at " +
                     std::to_string(row.differs_at));
        const std::string old_content = binary_content(row.size + row.tail, 3);
        std::string content = old_content.substr(0, row.size);
        if (row.differs_at != same) {
            content[row.differs_at] = static_cast<char>(~content[row.differs_at]);
        }
        fs::remove(target);
        write_file(target, old_content);
        fs::permissions(target, fs::perms(row.mode));
        const timespec long_ago[2] = {{1'000'000'000, 0}, {1'000'000'000, 0}};
        ASSERT_EQ(::utimensat(AT_FDCWD, target.c_str(), long_ago, 0), 0);
        const struct stat before = status_of(target);
        write_file(source, content);
        const timespec written[2] = {{1'100'000'000, 0}, {1'200'000'000, 0}};
        ASSERT_EQ(::utimensat(AT_FDCWD, source.c_str(), written, 0), 0);

        EXPECT_EQ(copy_now(source.native(), target.native(), TargetLookup::look_up), row.failure);
        const struct stat after = status_of(target);
        const bool replaced =
            (row.differs_at != same || row.tail > 0) && row.failure == CmdError::none;
        EXPECT_EQ(read_file(target), replaced ? content : old_content);
        EXPECT_EQ(after.st_ino != before.st_ino, replaced);
        EXPECT_EQ(after.st_mtim.tv_sec,
                  replaced ? status_of(source).st_mtim.tv_sec : before.st_mtim.tv_sec);
        if (!replaced) {
            EXPECT_EQ(after.st_atim.tv_sec, before.st_atim.tv_sec);
        }
    }
}

// The second copy onto one target in a batch finds the old bytes still
// there, but the first one's waiting to take their place: it must not be
// skipped as a copy of what is there.
TEST(CopyFileTo, AWaitingReplacementIsNotTakenForWhatTheTargetHolds) {
    TemporaryFolder tree;
    write_file(tree / "old", "old bytes");
    write_file(tree / "new", "new bytes");
    write_file(tree / "target", "old bytes");
    const DirectoryHandle directory(tree.root().native());
    PublishBatch batch;
    for (const char *source : {"new", "old"}) {
        EXPECT_EQ(copy_file_to(directory.file(source), directory.file("target"),
                               TargetLookup::look_up, batch),
                  CmdError::none);
    }
    EXPECT_EQ(read_file(tree / "target"), "old bytes");
    const PublishBatch::Outcome outcome = batch.publish();
    EXPECT_EQ(outcome.published, 2u);
    EXPECT_EQ(outcome.error, 0);
    EXPECT_EQ(read_file(tree / "target"), "old bytes");
    EXPECT_EQ(batch.size(), 0u);
}

// Only root may give a file away; the replacement of another's file keeps it his.
TEST(CopyFileTo, AReplacementByRootKeepsTheTargetsOwnerAndGroup) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "SKIPPED: only root can replace another user's file as his";
    }
    TemporaryFolder tree;
    write_file(tree / "source", "new bytes");
    write_file(tree / "target", "old bytes");
    ASSERT_EQ(::chown((tree / "target").c_str(), 4321, 8765), 0);
    EXPECT_EQ(
        copy_now((tree / "source").native(), (tree / "target").native(), TargetLookup::look_up),
        CmdError::none);
    EXPECT_EQ(read_file(tree / "target"), "new bytes");
    EXPECT_EQ(status_of(tree / "target").st_uid, 4321u);
    EXPECT_EQ(status_of(tree / "target").st_gid, 8765u);
}

// Another run made the name after the directory was read, here before the
// batch is published: it is compared and replaced like any target, and a
// file of its that holds our bytes is left as it is, never overwritten.
TEST(CopiedFiles, ANameTakenBeforeTheLinkIsComparedAndReplacedLikeAnyTarget) {
    TemporaryFolder tree;
    write_file(tree / "same", "same bytes");
    write_file(tree / "new", "new bytes");
    const DirectoryHandle directory(tree.root().native());
    char *text = nullptr;
    std::size_t size = 0;
    std::FILE *out = ::open_memstream(&text, &size);
    const CommandOutput output(out, stderr, false);
    CopiedFiles files(output, PublishBatch::files_allowed(1024));
    EXPECT_EQ(files.copy(directory.file("same"), directory.file("same.copy"),
                         TargetLookup::known_absent, "same"),
              CmdError::none);
    EXPECT_EQ(files.copy(directory.file("new"), directory.file("new.copy"),
                         TargetLookup::known_absent, "new"),
              CmdError::none);
    write_file(tree / "same.copy", "same bytes");
    write_file(tree / "new.copy", "the other run's bytes");
    const ino_t theirs = status_of(tree / "same.copy").st_ino;
    EXPECT_EQ(files.publish_waiting(), CmdError::none);
    std::fclose(out);
    EXPECT_EQ(std::string(text, size), "same\nnew\n");
    std::free(text);
    EXPECT_EQ(files.count(), 2);
    EXPECT_EQ(status_of(tree / "same.copy").st_ino, theirs);
    EXPECT_EQ(read_file(tree / "same.copy"), "same bytes");
    EXPECT_EQ(read_file(tree / "new.copy"), "new bytes");
}

// The scratch file is ours: a link at its name, dangling or not, is
// replaced, not followed; the file is locked, and written anew from its start.
TEST(RewriteScratch, ALinkAtTheScratchNameIsReplacedAndTheFileLockedAndWrittenAnew) {
    for (const bool dangling : {true, false}) {
        SCOPED_TRACE(dangling ? "dangling link" : "link to a file");
        const testing::WinePrefix prefix;
        const fs::path scratch = prefix.drive_c() / "conf/app.npm";
        const fs::path elsewhere = prefix.drive_c() / "elsewhere/theirs";
        fs::create_directories(prefix.drive_c() / "conf");
        fs::create_directories(elsewhere.parent_path());
        if (!dangling) {
            write_file(elsewhere, "their longer bytes");
        }
        fs::create_symlink(elsewhere, scratch);
        RewriteScratch held(R"(C:\conf\app.npm)");
        EXPECT_EQ(fs::exists(elsewhere), !dangling);
        ASSERT_TRUE(fs::is_regular_file(fs::symlink_status(scratch)));
        const FileDescriptor other(::open(scratch.c_str(), O_RDONLY | O_CLOEXEC));
        EXPECT_EQ(lock_exclusively(other.get(), LockWait::fail_at_once), EWOULDBLOCK);
        std::FILE *stream = held.rewrite();
        ASSERT_NE(stream, nullptr);
        std::fputs("ours", stream);
        std::fclose(stream);
        EXPECT_EQ(read_file(scratch), "ours");
        EXPECT_EQ(lock_exclusively(other.get(), LockWait::fail_at_once), EWOULDBLOCK);
        if (!dangling) {
            EXPECT_EQ(read_file(elsewhere), "their longer bytes");
        }
    }
}

// /proc files claim a size of 0 and hold bytes all the same.
TEST(CopyFileTo, AFileThatClaimsToBeEmptyIsReadToItsEnd) {
    const fs::path source = "/proc/self/cmdline";
    if (!fs::exists(source)) {
        GTEST_SKIP() << "no /proc here";
    }
    ASSERT_EQ(fs::file_size(source), 0u);
    TemporaryFolder tree;
    const fs::path target = tree / "cmdline";
    ASSERT_EQ(copy_now(source.native(), target.native(), TargetLookup::known_absent),
              CmdError::none);
    const std::string copied = read_file(target);
    EXPECT_FALSE(copied.empty());
    EXPECT_EQ(copied, read_file(source));
    // Nor does its size make it the same as an empty file.
    const fs::path empty = tree / "empty";
    write_file(empty, "");
    ASSERT_EQ(copy_now(source.native(), empty.native(), TargetLookup::look_up), CmdError::none);
    EXPECT_EQ(read_file(empty), copied);
}

TEST(CopyFileTo, AMissingSourceIsNotFound) {
    TemporaryFolder tree;
    EXPECT_EQ(
        copy_now((tree / "none").native(), (tree / "out").native(), TargetLookup::known_absent),
        CmdError::file_not_found);
    EXPECT_FALSE(fs::exists(tree / "out"));
}

TEST(CopyFileTo, NamesInOpenDirectoriesReachTheSameFilesAsWholePaths) {
    TemporaryFolder tree;
    write_file(tree / "from" / "new.txt", "new bytes");
    write_file(tree / "from" / "over.txt", "replacing bytes");
    write_file(tree / "to" / "over.txt", "old bytes, longer than the new ones");
    const DirectoryHandle from((tree / "from").native());
    const DirectoryHandle to((tree / "to").native());
    EXPECT_EQ(copy_now(from.file("new.txt"), to.file("new.txt"), TargetLookup::known_absent),
              CmdError::none);
    EXPECT_EQ(copy_now(from.file("over.txt"), to.file("over.txt"), TargetLookup::look_up),
              CmdError::none);
    EXPECT_EQ(read_file(tree / "to" / "new.txt"), "new bytes");
    EXPECT_EQ(read_file(tree / "to" / "over.txt"), "replacing bytes");
}

// A directory that cannot be opened gives the failure its whole path would.
TEST(CopyFileTo, DirectoriesThatCannotBeOpenedFailAsTheirPathsDo) {
    TemporaryFolder tree;
    write_file(tree / "from" / "f", "f");
    write_file(tree / "plain", "a file, not a directory");
    const struct {
        const char *from;
        const char *to;
    } table[] = {{"missing", "to"}, {"from", "missing"}, {"plain", "to"}, {"from", "plain"}};
    fs::create_directory(tree / "to");
    for (const auto &row : table) {
        SCOPED_TRACE(std::string(row.from) + " -> " + row.to);
        const DirectoryHandle from((tree / row.from).native());
        const DirectoryHandle to((tree / row.to).native());
        const CmdError by_path =
            copy_now((tree / row.from / "f").native(), (tree / row.to / "g").native(),
                     TargetLookup::known_absent);
        EXPECT_NE(by_path, CmdError::none);
        EXPECT_EQ(copy_now(from.file("f"), to.file("g"), TargetLookup::known_absent), by_path);
    }
}

TEST(JoinedPath, JoinsAsFilesystemPathDoes) {
    const struct {
        const char *directory;
        const char *name;
    } table[] = {{"dir", "f"}, {"dir/", "f"}, {"/", "f"}, {"", "f"}, {"a b/c", "d e"}};
    for (const auto &row : table) {
        EXPECT_EQ(joined_path(row.directory, row.name),
                  (fs::path(row.directory) / row.name).native())
            << row.directory << " + " << row.name;
    }
}

} // namespace
} // namespace vorlan::platform::posix
