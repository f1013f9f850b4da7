#include "platform/posix/cmd/command_line.h"
#include "posix_command_capture.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

namespace vorlan::platform::posix {
namespace {

using testing::run;

// A word is written as its text; a special token as "<op>".
std::vector<std::string> describe(const std::vector<Token> &tokens) {
    std::vector<std::string> described;
    for (const Token &token : tokens) {
        described.push_back(token.kind == Token::Kind::special ? "<" + token.text + ">"
                                                               : token.text);
    }
    return described;
}

struct TokenCase {
    std::string line;
    std::vector<std::string> tokens;
};

std::ostream &operator<<(std::ostream &stream, const TokenCase &tested) {
    return stream << tested.line;
}

class Tokenizing : public ::testing::TestWithParam<TokenCase> {};

TEST_P(Tokenizing, SplitsAsCmdDoes) {
    EXPECT_EQ(describe(tokenize_command_line(GetParam().line)), GetParam().tokens);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, Tokenizing,
    ::testing::Values(
        TokenCase{"copy a b", {"copy", "a", "b"}},
        TokenCase{" \tcopy   a\t b  ", {"copy", "a", "b"}}, TokenCase{"", {}}, TokenCase{"   ", {}},
        TokenCase{R"(copy "C:\Program Files\x y" b)", {"copy", R"(C:\Program Files\x y)", "b"}},
        TokenCase{R"(copy C:\"Program Files"\x b)", {"copy", R"(C:\Program Files\x)", "b"}},
        TokenCase{R"(copy "a b)", {"copy", "a b"}}, TokenCase{R"(copy "" b)", {"copy", "", "b"}},
        TokenCase{"copy a b>NUL", {"copy", "a", "b", "<>>", "NUL"}},
        TokenCase{R"(copy "a>b&c|d<e" f)", {"copy", "a>b&c|d<e", "f"}},
        TokenCase{"a&b|c<d", {"a", "<&>", "b", "<|>", "c", "<<>", "d"}},
        TokenCase{"copy a^&b c", {"copy", "a&b", "c"}},
        TokenCase{R"(copy a^"b c)", {"copy", R"(a"b)", "c"}},
        TokenCase{R"(copy "a^b" c)", {"copy", "a^b", "c"}},
        TokenCase{"copy a b ^", {"copy", "a", "b"}},
        TokenCase{"copy %SRC% b", {"copy", "%SRC%", "b"}}));

TEST(Tokenizing, KeepsTheWordAsTyped) {
    const auto tokens = tokenize_command_line(R"(  "co"py  x)");
    ASSERT_EQ(tokens.size(), 2u);
    EXPECT_EQ(tokens[0].text, "copy");
    EXPECT_EQ(tokens[0].typed, R"("co"py)");
}

struct ParseCase {
    std::string line;
    ParsedCommand::Kind kind;
    std::string source;
    std::string destination;
    bool discard_output;
};

std::ostream &operator<<(std::ostream &stream, const ParseCase &tested) {
    return stream << tested.line;
}

class Parsing : public ::testing::TestWithParam<ParseCase> {};

TEST_P(Parsing, RecognizesTheCommand) {
    const ParseCase &expected = GetParam();
    const ParsedCommand parsed = parse_command_line(expected.line);
    EXPECT_EQ(parsed.kind, expected.kind);
    EXPECT_EQ(parsed.source, expected.source);
    EXPECT_EQ(parsed.destination, expected.destination);
    EXPECT_EQ(parsed.discard_output, expected.discard_output);
}

using Kind = ParsedCommand::Kind;

INSTANTIATE_TEST_SUITE_P(
    Lines, Parsing,
    ::testing::Values(ParseCase{"copy a b", Kind::copy, "a", "b", false},
                      ParseCase{"COPY a b", Kind::copy, "a", "b", false},
                      ParseCase{R"("Copy" "a b" "c d" > NUL)", Kind::copy, "a b", "c d", true},
                      ParseCase{"copy a b >NUL", Kind::copy, "a", "b", true},
                      ParseCase{"copy a b>nul", Kind::copy, "a", "b", true},
                      ParseCase{"copy a b > Nul  ", Kind::copy, "a", "b", true},
                      ParseCase{"copy /Y a b", Kind::copy, "a", "b", false},
                      ParseCase{"copy a /b b", Kind::copy, "a", "b", false},
                      ParseCase{R"(copy "a&b" c)", Kind::copy, "a&b", "c", false},
                      ParseCase{"copy %A% %B%", Kind::copy, "%A%", "%B%", false},
                      ParseCase{R"(xcopy C:\src\*.* C:\dst /s)", Kind::xcopy, R"(C:\src\*.*)",
                                R"(C:\dst)", false},
                      ParseCase{R"(XCOPY /S "C:\s d\*.*" D:\ /y /I >NUL)", Kind::xcopy,
                                R"(C:\s d\*.*)", R"(D:\)", true},
                      ParseCase{"copy a", Kind::bad_syntax, "", "", false},
                      ParseCase{"copy a b c", Kind::bad_syntax, "", "", false},
                      ParseCase{"copy a b /q", Kind::bad_syntax, "", "", false},
                      ParseCase{"xcopy a b", Kind::bad_syntax, "", "", false},
                      ParseCase{"xcopy a b /s /e", Kind::bad_syntax, "", "", false},
                      ParseCase{"xcopy a /s", Kind::bad_syntax, "", "", false},
                      ParseCase{"copy a b > out.txt", Kind::not_recognized, "", "", false},
                      ParseCase{"copy a b > NUL.txt", Kind::not_recognized, "", "", false},
                      ParseCase{"copy a b >> NUL", Kind::not_recognized, "", "", false},
                      ParseCase{"copy a b > NUL extra", Kind::not_recognized, "", "", false},
                      ParseCase{"copy a b & copy c d", Kind::not_recognized, "", "", false},
                      ParseCase{"copy a b | more", Kind::not_recognized, "", "", false},
                      ParseCase{"copy a < b", Kind::not_recognized, "", "", false},
                      ParseCase{"del a", Kind::not_recognized, "", "", false},
                      ParseCase{"copy.exe a b", Kind::not_recognized, "", "", false},
                      ParseCase{"", Kind::nothing, "", "", false},
                      ParseCase{"  \t", Kind::nothing, "", "", false},
                      ParseCase{"> NUL", Kind::nothing, "", "", true}));

TEST(Interpreting, ComplainsAboutAnUnknownCommandByItsNameAsTyped) {
    const auto result = run(R"("Del" /q C:\x > NUL)");
    EXPECT_EQ(result.status, 1);
    EXPECT_TRUE(result.out.empty());
    EXPECT_EQ(result.err, (std::vector<std::string>{
                              R"('"Del"' is not recognized as an internal or external command,)",
                              "operable program or batch file."}));
}

TEST(Interpreting, TreatsAnUnquotedOperatorAsAnUnknownCommand) {
    const auto result = run("copy a b & echo done");
    EXPECT_EQ(result.status, 1);
    ASSERT_EQ(result.err.size(), 2u);
    EXPECT_EQ(result.err[0], "'copy' is not recognized as an internal or external command,");
}

TEST(Interpreting, ComplainsAboutSyntaxItCannotUnderstand) {
    const auto result = run("xcopy a b /e");
    EXPECT_EQ(result.status, 1);
    EXPECT_TRUE(result.out.empty());
    EXPECT_EQ(result.err, std::vector<std::string>{"The syntax of the command is incorrect."});
}

TEST(Interpreting, DoesNothingForAnEmptyLine) {
    const auto result = run("   ");
    EXPECT_EQ(result.status, 0);
    EXPECT_TRUE(result.out.empty());
    EXPECT_TRUE(result.err.empty());
}

} // namespace
} // namespace vorlan::platform::posix
