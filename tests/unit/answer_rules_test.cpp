#include "dialogue/answer_rules.h"

#include <gtest/gtest.h>

#include <string>

namespace vorlan::dialogue {
namespace {

TEST(AnswerRules, CharactersNoWindowsPathHolds) {
    using namespace std::string_literals;
    for (const std::string &bad : {"a\"b"s, "*"s, "a?"s, "<"s, ">"s, "|"s, "a\tb"s, "\r"s, "\0"s,
                                   "\x1f"s, "C:\\x\x7f"s, "\xc3\xa9t\xc3\xa9"s}) {
        EXPECT_TRUE(holds_forbidden_path_character(bad)) << bad;
    }
    for (const std::string good :
         {"C:\\Program Files\\Apache", " ", "C:\\a&b^c", "C:\\100%", "C:\\PROGRA~1"}) {
        EXPECT_FALSE(holds_forbidden_path_character(good)) << good;
    }
}

TEST(AnswerRules, VariableReferencesNeedANameBetweenTwoPercentSigns) {
    for (const std::string shape :
         {"%OS%", "C:\\%OS%\\Tomcat", "C:\\Apache %TEMP%", "%%a%", "a%b%c%", "% %"}) {
        EXPECT_TRUE(holds_variable_reference(shape)) << shape;
    }
    for (const std::string plain : {"C:\\Tomcat 100%", "%%", "%%%", "%", "a%b", "", "%%x"}) {
        EXPECT_FALSE(holds_variable_reference(plain)) << plain;
    }
}

} // namespace
} // namespace vorlan::dialogue
