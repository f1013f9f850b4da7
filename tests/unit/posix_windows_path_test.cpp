#include "platform/posix/windows_path.h"
#include "platform/windows_path.h"
#include "support/wine_prefix.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

namespace vorlan::platform::posix {
namespace {

namespace fs = std::filesystem;
using testing::ScopedCurrentDirectory;
using testing::ScopedEnvironment;
using testing::TemporaryFolder;
using testing::WinePrefix;

struct ParseCase {
    std::string windows_path;
    PathAnchor anchor;
    char drive;
    int levels_up;
    std::vector<std::string> components;
};

std::ostream &operator<<(std::ostream &stream, const ParseCase &tested) {
    return stream << tested.windows_path;
}

class PathParsing : public ::testing::TestWithParam<ParseCase> {};

TEST_P(PathParsing, FindsAnchorAndComponents) {
    const ParseCase &expected = GetParam();
    const ParsedWindowsPath parsed = parse_windows_path(expected.windows_path);
    EXPECT_EQ(parsed.anchor, expected.anchor);
    EXPECT_EQ(parsed.drive, expected.drive);
    EXPECT_EQ(parsed.levels_up, expected.levels_up);
    EXPECT_EQ(parsed.components, expected.components);
}

INSTANTIATE_TEST_SUITE_P(
    Paths, PathParsing,
    ::testing::Values(ParseCase{"", PathAnchor::nothing, '\0', 0, {}},
                      ParseCase{R"(C:\a\b)", PathAnchor::drive, 'c', 0, {"a", "b"}},
                      ParseCase{"x:/a//b/./", PathAnchor::drive, 'x', 0, {"a", "b"}},
                      ParseCase{R"(C:a\b)", PathAnchor::drive_relative, 'c', 0, {"a", "b"}},
                      ParseCase{"C:", PathAnchor::drive_relative, 'c', 0, {}},
                      ParseCase{R"(c:..\..\a)", PathAnchor::drive_relative, 'c', 2, {"a"}},
                      ParseCase{R"(C:\a.\b.\c.)", PathAnchor::drive, 'c', 0, {"a", "b", "c"}},
                      ParseCase{R"(C:\a \b. . )", PathAnchor::drive, 'c', 0, {"a ", "b"}},
                      ParseCase{
                          R"(C:\a..\...\b \)", PathAnchor::drive, 'c', 0, {"a..", "...", "b "}},
                      ParseCase{R"(C:\a\...)", PathAnchor::drive, 'c', 0, {"a"}},
                      ParseCase{R"(C:\a\b\.. )", PathAnchor::drive, 'c', 0, {"a", "b"}},
                      ParseCase{R"(C:\a.\..\b)", PathAnchor::drive, 'c', 0, {"b"}},
                      ParseCase{R"(C:\a \b\..)", PathAnchor::drive, 'c', 0, {"a"}},
                      ParseCase{R"(C:\..\..\a)", PathAnchor::drive, 'c', 0, {"a"}},
                      ParseCase{R"(C:\a\..\b\c\..)", PathAnchor::drive, 'c', 0, {"b"}},
                      ParseCase{R"(\a\b)", PathAnchor::current_drive, '\0', 0, {"a", "b"}},
                      ParseCase{R"(\..\a)", PathAnchor::current_drive, '\0', 0, {"a"}},
                      ParseCase{R"(\\server\share\f)", PathAnchor::network, '\0', 0, {}},
                      ParseCase{"//server/share", PathAnchor::network, '\0', 0, {}},
                      ParseCase{R"(\/x)", PathAnchor::network, '\0', 0, {}},
                      ParseCase{R"(a\..\..\b)", PathAnchor::current_directory, '\0', 1, {"b"}},
                      ParseCase{R"(..\..)", PathAnchor::current_directory, '\0', 2, {}},
                      ParseCase{R"(.\a\.\b\)", PathAnchor::current_directory, '\0', 0, {"a", "b"}},
                      ParseCase{R"(1:\a)", PathAnchor::current_directory, '\0', 0, {"1:", "a"}}));

// Compares real locations: the spelling of what exists comes from the disk,
// and what does not exist is compared as written.
fs::path located(const fs::path &path) {
    return fs::weakly_canonical(path);
}

class HostPath : public ::testing::Test {
  protected:
    HostPath() {
        fs::create_directories(prefix.drive_c() / "windows" / "Fonts");
        fs::create_directories(prefix.outside() / "Sub");
    }

    fs::path drive_c() const { return fs::canonical(prefix.drive_c()); }

    WinePrefix prefix;
};

TEST_F(HostPath, MapsADriveThroughDosdevices) {
    const auto host = host_path(R"(C:\)");
    ASSERT_TRUE(host);
    EXPECT_EQ(located(*host), drive_c());
}

TEST_F(HostPath, FindsComponentsWhateverTheirCase) {
    const auto host = host_path(R"(c:\WINDOWS\fonts)");
    ASSERT_TRUE(host);
    EXPECT_EQ(located(*host), drive_c() / "windows" / "Fonts");
    EXPECT_EQ(host->filename(), "Fonts");
    EXPECT_EQ(host->parent_path().filename(), "windows");
}

TEST_F(HostPath, KeepsTheSpellingOfWhatDoesNotExistYet) {
    const auto host = host_path(R"(C:/Windows\FONTS/NewDir\\File.TXT)");
    ASSERT_TRUE(host);
    EXPECT_EQ(located(*host), drive_c() / "windows" / "Fonts" / "NewDir" / "File.TXT");
}

TEST_F(HostPath, StopsLookingAfterTheFirstMissingComponent) {
    fs::create_directories(prefix.drive_c() / "missing-not" / "windows");
    const auto host = host_path(R"(C:\Missing\WINDOWS)");
    ASSERT_TRUE(host);
    EXPECT_EQ(located(*host), drive_c() / "Missing" / "WINDOWS");
}

TEST_F(HostPath, PrefersTheExactSpellingThenTheSmallest) {
    fs::create_directories(prefix.drive_c() / "Data");
    fs::create_directories(prefix.drive_c() / "data");
    fs::create_directories(prefix.drive_c() / "DATA");
    EXPECT_EQ(located(*host_path(R"(C:\Data)")), drive_c() / "Data");
    EXPECT_EQ(located(*host_path(R"(C:\dAtA)")), drive_c() / "DATA");
}

TEST_F(HostPath, NeverClimbsAboveTheDriveRoot) {
    const auto host = host_path(R"(C:\..\..\..\windows\..\WINDOWS\.\fonts)");
    ASSERT_TRUE(host);
    EXPECT_EQ(located(*host), drive_c() / "windows" / "Fonts");
}

TEST_F(HostPath, StartsADriveWithoutSeparatorWhereThatDriveIsCurrent) {
    EXPECT_EQ(located(*host_path("C:windows")), drive_c() / "windows");
    const ScopedCurrentDirectory inside(prefix.drive_c() / "windows");
    EXPECT_EQ(located(*host_path("C:FONTS. ")), drive_c() / "windows" / "Fonts");
    EXPECT_EQ(located(*host_path(R"(c:..\..\windows.\x)")), drive_c() / "windows" / "x");
}

TEST_F(HostPath, HasNoDriveThatDosdevicesLacks) {
    EXPECT_FALSE(host_path(R"(D:\windows)"));
    EXPECT_FALSE(host_path("d:"));
}

TEST_F(HostPath, HasNoNetworkShares) {
    EXPECT_FALSE(host_path(R"(\\server\share\file.txt)"));
    EXPECT_FALSE(host_path("//server/share"));
}

TEST_F(HostPath, RefusesAPathWithANulInIt) {
    std::string path = R"(C:\windows)";
    path += '\0';
    path += R"(\x)";
    EXPECT_FALSE(host_path(path));
}

TEST_F(HostPath, GivesNothingForAnEmptyString) {
    EXPECT_FALSE(host_path(""));
}

TEST_F(HostPath, PutsALeadingSeparatorOnTheCurrentDrive) {
    const ScopedCurrentDirectory inside(prefix.drive_c() / "windows" / "Fonts");
    const auto host = host_path(R"(\Windows\new.ini)");
    ASSERT_TRUE(host);
    EXPECT_EQ(located(*host), drive_c() / "windows" / "new.ini");
}

TEST_F(HostPath, PicksTheClosestOfNestedDrives) {
    fs::create_directory_symlink("../drive_c/windows", prefix.dosdevices() / "w:");
    const ScopedCurrentDirectory inside(prefix.drive_c() / "windows" / "Fonts");
    EXPECT_EQ(located(*host_path(R"(\fonts)")), drive_c() / "windows" / "Fonts");
}

TEST_F(HostPath, PutsALeadingSeparatorOutsideEveryDriveOnTheUnixRoot) {
    const ScopedCurrentDirectory outside(prefix.outside());
    std::string windows_path;
    for (const auto &component : prefix.outside().relative_path()) {
        windows_path += "\\" + component.native();
    }
    const auto host = host_path(windows_path + R"(\SUB\file.txt)");
    ASSERT_TRUE(host);
    EXPECT_EQ(located(*host), fs::canonical(prefix.outside()) / "Sub" / "file.txt");
}

TEST_F(HostPath, TakesAPlainPathFromTheCurrentDirectory) {
    const ScopedCurrentDirectory inside(prefix.drive_c() / "windows");
    EXPECT_EQ(located(*host_path(R"(FONTS\a.ttf)")), drive_c() / "windows" / "Fonts" / "a.ttf");
    EXPECT_EQ(located(*host_path(R"(..\WINDOWS)")), drive_c() / "windows");
    EXPECT_EQ(located(*host_path(".")), drive_c() / "windows");
}

TEST_F(HostPath, LetsAPlainPathClimbToTheHostParent) {
    const ScopedCurrentDirectory inside(prefix.drive_c() / "windows");
    EXPECT_EQ(located(*host_path(R"(..\..\DOSDEVICES)")), fs::canonical(prefix.dosdevices()));
}

TEST(HostPathPrefix, DefaultsToTheWineDirectoryInHome) {
    const TemporaryFolder home;
    fs::create_directories(home / ".wine" / "drive_c" / "Users");
    fs::create_directories(home / ".wine" / "dosdevices");
    fs::create_directory_symlink("../drive_c", home / ".wine" / "dosdevices" / "c:");
    const ScopedEnvironment no_prefix("WINEPREFIX", std::nullopt);
    const ScopedEnvironment new_home("HOME", home.root().native());
    const auto host = host_path(R"(C:\users)");
    ASSERT_TRUE(host);
    EXPECT_EQ(located(*host), home / ".wine" / "drive_c" / "Users");
}

TEST(EntryLookup, ComparesWholeComponents) {
    EXPECT_TRUE(is_within("/a/b", "/a/b"));
    EXPECT_TRUE(is_within("/a/b", "/a/b/c"));
    EXPECT_FALSE(is_within("/a/b", "/a/bc"));
    EXPECT_FALSE(is_within("/a/b/c", "/a/b"));
    EXPECT_TRUE(is_within("/", "/anything"));
}

} // namespace
} // namespace vorlan::platform::posix
