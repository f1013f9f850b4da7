#include "app/driver.h"

#include "deploy/deployment.h"
#include "dialogue/dialogue.h"
#include "dialogue/directory_questions.h"
#include "platform/console.h"
#include "settings/install_settings.h"
#include "settings/stage.h"
#include "writers/container_scripts.h"
#include "writers/registry_script.h"
#include "writers/web_server_config.h"
#include "writers/workers_file.h"

namespace vorlan::app {
namespace {

using settings::Stage;
using settings::StageResult;

constexpr int exit_success = 0;
constexpr int exit_failure = 1;
// The run reached its end, but a copy failed: a script must not take the
// installation for whole.
constexpr int exit_partial = 2;

// The fixed order of the installation; each stage finishes before the next.
const Stage installation_stages[] = {
    deploy::copy_web_files,
    writers::rewrite_httpd_conf,
    deploy::make_directories_and_copy_jars,
    writers::create_connector_config,
    writers::create_workers_file,
    writers::rewrite_startup_script,
    writers::rewrite_shutdown_script,
    writers::write_registry_script,
    deploy::copy_modules_and_web_archives,
};

} // namespace

int run_installer() {
    platform::prepare_console();
    dialogue::show_banner();
    if (!dialogue::ask_confirmation()) {
        return exit_success;
    }
    const auto answers = dialogue::ask_directories();
    if (!answers) {
        return exit_failure;
    }
    const settings::InstallSettings s =
        settings::derive_settings(*answers, settings::windows_fonts_dir_exists());
    bool copy_failed = false;
    for (const Stage stage : installation_stages) {
        const StageResult result = stage(s);
        if (result == StageResult::stop) {
            return exit_failure;
        }
        copy_failed = copy_failed || result == StageResult::go_on_after_failed_copy;
    }
    dialogue::completion_prompt();
    return copy_failed ? exit_partial : exit_success;
}

} // namespace vorlan::app
