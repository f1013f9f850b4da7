// The console dialogue, as a user sees it: whole transcripts, byte for byte.
#include "support/scenario.h"
#include "support/transcript.h"

#include <gtest/gtest.h>

namespace e2e {
namespace {

TEST(Dialogue, RefusalEndsTheRunAndTouchesNothing) {
    for (const std::string answer : {"n\n", "N\n", "no thanks\n", " y\n", "x\n", "\t\n"}) {
        Scenario machine = Scenario::default_machine();
        const auto before = machine.describe_disk();
        const auto run = machine.run(answer + "\n\n\n");
        EXPECT_EQ(run.out, banner_and_confirmation + abort_message) << answer;
        EXPECT_EQ(run.exit_status, 0) << answer;
        EXPECT_EQ(machine.describe_disk(), before) << answer;
    }
}

TEST(Dialogue, AnyAnswerBeginningWithYGoesOn) {
    for (const std::string answer : {"y\n", "Y\n", "yes\n", "Yikes\n", "\n", "y\r\n"}) {
        Scenario machine;
        machine.add_default_products();
        const auto run = machine.run(answer + "\n\n\n\n");
        EXPECT_TRUE(run.out.starts_with(all_questions)) << answer << run.out;
        EXPECT_TRUE(run.out.ends_with(completion)) << answer;
    }
}

// The end of the input before an answer's first character is an empty answer,
// at every prompt; at the last one it ends the run.
TEST(Dialogue, EndOfInputAtEveryPromptTakesTheDefaults) {
    for (const std::string input : {"", "y\n", "y\n\n", "y\n\n\n", "y\n\n\n\n"}) {
        Scenario machine = Scenario::default_machine();
        const auto run = machine.run(input);
        EXPECT_EQ(run.exit_status, 0) << input;
        EXPECT_TRUE(run.out.starts_with(all_questions)) << input;
        EXPECT_TRUE(run.out.ends_with(completion)) << input;
        EXPECT_TRUE(fs::exists(machine.c("pja_2.4/lib/pja.jar"))) << input;
    }
}

struct InvalidAnswer {
    std::string input;
    std::string transcript_until_error;
    std::string error;
};

TEST(Dialogue, AnInvalidDirectoryEndsTheRunAtItsQuestion) {
    const std::string after_java = banner_and_confirmation + java_question;
    const std::string after_apache = after_java + apache_question;
    const std::string after_tomcat = after_apache + tomcat_question;
    const InvalidAnswer table[] = {
        {"y\nC:\\jdk\"1\n", after_java, "C:\\jdk\"1"},
        {"y\nC:\\j*\n", after_java, "C:\\j*"},
        {"y\n\nC:\\Apache?\n", after_apache, "C:\\Apache?"},
        {"y\n\nC:\\a<b\n", after_apache, "C:\\a<b"},
        {"y\n\n\nC:\\a>b\n", after_tomcat, "C:\\a>b"},
        {"y\n\n\nC:\\a|b\n", after_tomcat, "C:\\a|b"},
        {"y\nC:\\a\tb\n", after_java, "C:\\a\tb"},
        {"y\n\n\nC:\\lone\rcr\n", after_tomcat, "C:\\lone\rcr"},
        {std::string("y\nC:\\nul\0byte\n", 14), after_java, std::string("C:\\nul\0byte", 11)},
        // cmd would expand these inside the copy commands.
        {"y\n\nC:\\Apache %TEMP%\n", after_apache, "C:\\Apache %TEMP%"},
        {"y\n\n\nC:\\%OS%\\Tomcat\n", after_tomcat, "C:\\%OS%\\Tomcat"},
        {"y\n\n\nC:\\%%a%\n", after_tomcat, "C:\\%%a%"},
        // No one encoding serves every file an answer reaches: UTF-8, Windows-1252, Cyrillic.
        {"y\nC:\\D\xc3\xa9veloppement\\jdk\n", after_java, "C:\\D\xc3\xa9veloppement\\jdk"},
        {"y\nC:\\D\xe9veloppement\\jdk\n", after_java, "C:\\D\xe9veloppement\\jdk"},
        {"y\nC:\\\xd0\x94\xd0\xbe\xd0\xbc\\jdk\n", after_java, "C:\\\xd0\x94\xd0\xbe\xd0\xbc\\jdk"},
        {"y\n\nC:\\\xc3\x89quipe Apache\n", after_apache, "C:\\\xc3\x89quipe Apache"},
        {"y\n\nC:\\\xc9quipe Apache\n", after_apache, "C:\\\xc9quipe Apache"},
        {"y\n\nC:\\\xd0\x94\xd0\xbe\xd0\xbc\\Apache\n", after_apache,
         "C:\\\xd0\x94\xd0\xbe\xd0\xbc\\Apache"},
        {"y\n\n\nC:\\\xc3\x89quipe Tomcat\n", after_tomcat, "C:\\\xc3\x89quipe Tomcat"},
        {"y\n\n\nC:\\\xc9quipe Tomcat\n", after_tomcat, "C:\\\xc9quipe Tomcat"},
        {"y\n\n\nC:\\\xd0\x94\xd0\xbe\xd0\xbc\\Tomcat\n", after_tomcat,
         "C:\\\xd0\x94\xd0\xbe\xd0\xbc\\Tomcat"},
    };
    for (const auto &row : table) {
        Scenario machine = Scenario::default_machine();
        const auto before = machine.describe_disk();
        const auto run = machine.run(row.input + "\n\n\n");
        EXPECT_EQ(run.out, row.transcript_until_error +
                               "***ERROR*** invalid directory name: " + row.error + "\n")
            << row.error;
        EXPECT_EQ(run.exit_status, 1) << row.error;
        EXPECT_EQ(machine.describe_disk(), before) << row.error;
    }
}

} // namespace
} // namespace e2e
