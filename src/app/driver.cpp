#include "app/driver.h"

#include "deploy/deployment.h"
#include "dialogue/answer_rules.h"
#include "dialogue/dialogue.h"
#include "platform/console.h"
#include "settings/format.h"
#include "settings/install_settings.h"
#include "writers/container_scripts.h"
#include "writers/registry_script.h"
#include "writers/web_server_config.h"
#include "writers/workers_file.h"

#include <optional>
#include <string>

namespace vorlan::app {
namespace {

constexpr int exit_success = 0;
constexpr int exit_failure = 1;

using settings::InstallSettings;
using writers::StageResult;

// Directories that go into a copy command must survive cmd's %NAME% expansion.
enum class Reaches { files_only, command_lines };

struct Question {
    dialogue::DirectoryQuestion text;
    Reaches reaches;
};

const Question java_question{{"Enter Your Java 2 SDK's Directory, press ENTER for default.",
                              "[Default=%s]: ", settings::default_java_home},
                             Reaches::files_only};
const Question apache_question{
    {"Enter Your Apache HTTP Server's Directory, press ENTER for default.",
     "[Default=%s]: ", settings::default_apache_dir},
    Reaches::command_lines};
const Question tomcat_question{{"Enter Your Apache Tomcat's Directory, press ENTER for default.",
                                "[Default is under %s]: ", settings::default_tomcat_dir},
                               Reaches::command_lines};

bool is_acceptable(const std::string &answer, Reaches reaches) {
    return !dialogue::holds_forbidden_path_character(answer) &&
           (reaches == Reaches::files_only || !dialogue::holds_variable_reference(answer));
}

std::optional<std::string> ask(const Question &question) {
    std::string answer = dialogue::ask_directory(question.text);
    if (is_acceptable(answer, question.reaches)) {
        return answer;
    }
    platform::write(settings::format("***ERROR*** invalid directory name: %s\n", {answer}));
    platform::flush();
    return std::nullopt;
}

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

using Stage = StageResult (*)(const InstallSettings &);

StageResult deploy_stage(void (*step)(const InstallSettings &), const InstallSettings &s) {
    step(s);
    return StageResult::go_on;
}

// The fixed order of the installation; each stage finishes before the next.
const Stage installation_stages[] = {
    [](const InstallSettings &s) { return deploy_stage(deploy::copy_web_files, s); },
    writers::rewrite_httpd_conf,
    [](const InstallSettings &s) {
        return deploy_stage(deploy::make_directories_and_copy_jars, s);
    },
    writers::create_connector_config,
    writers::create_workers_file,
    writers::rewrite_startup_script,
    writers::rewrite_shutdown_script,
    writers::write_registry_script,
    [](const InstallSettings &s) { return deploy_stage(deploy::copy_modules_and_web_archives, s); },
};

} // namespace

int run_installer() {
    platform::prepare_console();
    dialogue::show_banner();
    if (!dialogue::ask_confirmation()) {
        return exit_success;
    }
    const auto answers = ask_directories();
    if (!answers) {
        return exit_failure;
    }
    const InstallSettings s =
        settings::derive_settings(*answers, settings::windows_fonts_dir_exists());
    for (const Stage stage : installation_stages) {
        if (stage(s) == StageResult::stop) {
            return exit_failure;
        }
    }
    dialogue::completion_prompt();
    return exit_success;
}

} // namespace vorlan::app
