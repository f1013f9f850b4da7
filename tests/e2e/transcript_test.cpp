// Holding an output against a transcript: what each comparison lets through.
#include "support/transcript.h"

#include <gtest/gtest.h>

namespace e2e {
namespace {

struct Case {
    const char *what;
    std::string out;
    bool every_byte;     // expected verdict when every byte counts
    bool installer_only; // expected verdict when only the installer's stretches count
};

// Questions, a copy's report, a warning, another report, the last words.
const Transcript run = own("Q?") + interpreter("a.jar\n  1 file(s) copied.\n") + own("W!\n") +
                       interpreter("b.war\n") + own("Done.");

TEST(TranscriptMatch, InterpreterStretchesCountOnlyWhenEveryByteDoes) {
    const Case table[] = {
        {"as written", "Q?a.jar\n  1 file(s) copied.\nW!\nb.war\nDone.", true, true},
        {"another interpreter's words", "Q?a.jar\nW!\n1 file copied\nDone.", false, true},
        {"an interpreter that says nothing", "Q?W!\nDone.", false, true},
        {"installer text changed", "Q?a.jar\n  1 file(s) copied.\nW?\nb.war\nDone.", false, false},
        {"installer stretch missing", "Q?a.jar\nb.war\nDone.", false, false},
        {"installer stretches swapped", "Q?Done.W!\n", false, false},
        {"something before the first question", "\nQ?W!\nDone.", false, false},
        {"something after the last words", "Q?W!\nDone.\n", false, false},
        {"last words missing", "Q?W!\n", false, false},
        {"last words early, then more", "Q?W!\nDone. more", false, false},
        {"line ends not normalised", "Q?W!\r\nDone.", false, false},
    };
    for (const auto &row : table) {
        EXPECT_EQ(static_cast<bool>(matches(row.out, run, Comparison::every_byte)), row.every_byte)
            << row.what;
        EXPECT_EQ(static_cast<bool>(matches(row.out, run, Comparison::installer_only)),
                  row.installer_only)
            << row.what;
    }
}

TEST(TranscriptMatch, AnInterpreterStretchAtTheEndTakesAnyTail) {
    const Transcript tail = own("Q?") + interpreter("x\n");
    EXPECT_TRUE(matches("Q?", tail, Comparison::installer_only));
    EXPECT_TRUE(matches("Q?anything\n", tail, Comparison::installer_only));
    EXPECT_FALSE(matches("Q?anything\n", tail, Comparison::every_byte));
    EXPECT_FALSE(matches("q?x\n", tail, Comparison::installer_only));
}

// A later stretch found early in the interpreter's words must not hide that
// it is missing where it belongs.
TEST(TranscriptMatch, RepeatedInstallerTextNeedsEveryOccurrence) {
    const Transcript twice = own("A") + interpreter("") + own("B") + interpreter("") + own("B");
    EXPECT_TRUE(matches("AxByB", twice, Comparison::installer_only));
    EXPECT_TRUE(matches("ABB", twice, Comparison::installer_only));
    EXPECT_FALSE(matches("AxB", twice, Comparison::installer_only));
    EXPECT_FALSE(matches("AB", twice, Comparison::every_byte));
}

TEST(TranscriptMatch, NeighbouringStretchesOfOneWriterJoin) {
    const Transcript split = own("Q") + own("?") + interpreter("a") + interpreter("b") + own("!");
    EXPECT_EQ(split.whole_text(), "Q?ab!");
    EXPECT_TRUE(matches("Q?zz!", split, Comparison::installer_only));
    EXPECT_FALSE(matches("Qz?!", split, Comparison::installer_only));
}

} // namespace
} // namespace e2e
