#include "platform/posix/ascii.h"
#include "platform/posix/cmd/wildcard.h"
#include "platform/posix/directory_listing.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <ostream>
#include <string>
#include <vector>

namespace vorlan::platform::posix {
namespace {

struct MatchCase {
    std::string pattern;
    std::string name;
    bool matches;
};

std::ostream &operator<<(std::ostream &stream, const MatchCase &tested) {
    return stream << '"' << tested.pattern << "\" vs \"" << tested.name << '"';
}

class WildcardMatching : public ::testing::TestWithParam<MatchCase> {};

TEST_P(WildcardMatching, AnswersAsCmdDoes) {
    EXPECT_EQ(wildcard_matches(GetParam().pattern, GetParam().name), GetParam().matches);
}

INSTANTIATE_TEST_SUITE_P(
    Patterns, WildcardMatching,
    ::testing::Values(
        MatchCase{"*.*", "readme", true}, MatchCase{"*.*", "a.b.c", true},
        MatchCase{"*.*", ".profile", true}, MatchCase{"*", "anything.at.all", true},
        MatchCase{"*.jar", "A.JAR", true}, MatchCase{"*.JAR", "lib.jar", true},
        MatchCase{"*.jar", "lib.jar.bak", false}, MatchCase{"*.jar", "jar", false},
        MatchCase{"*.jar", "libjar", false}, MatchCase{"a?c", "abc", true},
        MatchCase{"a?c", "AXC", true}, MatchCase{"a?c", "ac", false},
        MatchCase{"a?c", "abbc", false}, MatchCase{"?", "", false}, MatchCase{"??", "a", false},
        MatchCase{"file.*", "file", true}, MatchCase{"file.*", "FILE.txt", true},
        MatchCase{"file.*", "files", false}, MatchCase{"report.txt", "REPORT.TXT", true},
        MatchCase{"report.txt", "report.txt2", false}, MatchCase{"a*b*c", "aXXbYYc", true},
        MatchCase{"a*b*c", "aXXbYY", false}, MatchCase{"*ab", "aab", true},
        MatchCase{"*a*a*a*a*a*b", std::string(2000, 'a'), false}, MatchCase{"[ab]", "a", false},
        MatchCase{"[ab]", "[AB]", true}, MatchCase{"\xc3\x84*", "\xc3\xa4rger", false},
        MatchCase{"\xc3\x84*", "\xc3\x84rger", true}, MatchCase{"@*", "`x", false},
        MatchCase{"[*", "{x", false}));

TEST(Wildcards, AreFoundInAnyPosition) {
    EXPECT_TRUE(has_wildcard("*.txt"));
    EXPECT_TRUE(has_wildcard("file?.txt"));
    EXPECT_TRUE(has_wildcard("C:\\dir\\*"));
    EXPECT_FALSE(has_wildcard("C:\\dir\\file.txt"));
    EXPECT_FALSE(has_wildcard(""));
}

TEST(CaseInsensitiveOrder, PutsNamesInTheOrderCmdCopiesThem) {
    DirectoryListing listing;
    for (const char *name : {"b.txt", "A.txt", "_x", "a.txt", "B.TXT", "a"}) {
        listing.add(name, EntryType::regular_file);
    }
    listing.sort_ignoring_case();
    std::vector<std::string> names;
    for (const DirectoryListing::Entry &entry : listing.entries()) {
        names.emplace_back(listing.name(entry));
    }
    EXPECT_EQ(names, (std::vector<std::string>{"_x", "a", "A.txt", "a.txt", "B.TXT", "b.txt"}));
}

// xcopy knows a directory it is already in by these two numbers; the file
// systems differ, so a device number taken from anywhere else shows.
TEST(DirectoryListing, NamesTheDirectoryByItsDeviceAndInode) {
    for (const char *directory : {"/", "/proc", "/dev"}) {
        struct stat status {};
        ASSERT_EQ(::stat(directory, &status), 0) << directory;
        const DirectoryListing listing = list_directory(directory, EntryTypes::leave_unknown);
        EXPECT_EQ(listing.error, 0) << directory;
        EXPECT_EQ(listing.device, status.st_dev) << directory;
        EXPECT_EQ(listing.inode, status.st_ino) << directory;
    }
}

TEST(CaseInsensitiveNames, FindsAnySpellingAndPrefersTheSmallest) {
    CaseInsensitiveNames names;
    names.add("Readme.txt");
    names.add("README.TXT");
    names.add("other");
    ASSERT_TRUE(names.find("readme.TXT"));
    EXPECT_EQ(*names.find("readme.TXT"), "README.TXT");
    EXPECT_FALSE(names.find("readme.txt2"));
    EXPECT_FALSE(names.find("\xc3\x84"));
    // Enough names that the table grows many times over.
    for (int i = 0; i < 5000; ++i) {
        names.add("File" + std::to_string(i));
    }
    for (int i = 0; i < 5000; ++i) {
        EXPECT_EQ(names.find("FILE" + std::to_string(i)), "File" + std::to_string(i));
    }
    EXPECT_EQ(*names.find("readme.txt"), "README.TXT");
    EXPECT_FALSE(names.find("file5000"));
}

TEST(AsciiCase, LeavesEverythingButAsciiLettersAlone) {
    EXPECT_TRUE(ascii_iequal("Program Files", "PROGRAM FILES"));
    EXPECT_FALSE(ascii_iequal("@", "`"));
    EXPECT_FALSE(ascii_iequal("[", "{"));
    EXPECT_FALSE(ascii_iequal("\xc3\x84", "\xc3\xa4"));
    EXPECT_FALSE(ascii_iequal("abc", "abcd"));
}

} // namespace
} // namespace vorlan::platform::posix
