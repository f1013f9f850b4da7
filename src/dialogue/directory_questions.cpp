#include "dialogue/directory_questions.h"

#include "dialogue/answer_rules.h"
#include "dialogue/dialogue.h"
#include "platform/console.h"
#include "text/format.h"

#include <string>
#include <utility>

namespace vorlan::dialogue {
namespace {

// Directories that go into a copy command must survive cmd's %NAME% expansion.
enum class Reaches { files_only, command_lines };

struct Question {
    DirectoryQuestion text;
    Reaches reaches;
};

const Question java_question{{"Enter Your Java 2 SDK's Directory, press ENTER for default.",
                              "[Default=%s]: ", default_java_home},
                             Reaches::files_only};
const Question apache_question{
    {"Enter Your Apache HTTP Server's Directory, press ENTER for default.",
     "[Default=%s]: ", default_apache_dir},
    Reaches::command_lines};
const Question tomcat_question{{"Enter Your Apache Tomcat's Directory, press ENTER for default.",
                                "[Default is under %s]: ", default_tomcat_dir},
                               Reaches::command_lines};

bool is_acceptable(const std::string &answer, Reaches reaches) {
    return !holds_forbidden_path_character(answer) &&
           (reaches == Reaches::files_only || !holds_variable_reference(answer));
}

std::optional<std::string> ask(const Question &question) {
    std::string answer = ask_directory(question.text);
    if (is_acceptable(answer, question.reaches)) {
        return answer;
    }
    platform::write(text::format("***ERROR*** invalid directory name: %s\n", {answer}));
    platform::flush();
    return std::nullopt;
}

} // namespace

std::optional<settings::Answers> ask_directories() {
    settings::Answers answers;
    for (auto [question, field] : {std::pair{&java_question, &answers.java_home},
                                   std::pair{&apache_question, &answers.apache_dir},
                                   std::pair{&tomcat_question, &answers.tomcat_dir}}) {
        auto answer = ask(*question);
        if (!answer) {
            return std::nullopt;
        }
        *field = std::move(*answer);
    }
    return answers;
}

} // namespace vorlan::dialogue
