#include "deploy/deployment.h"

#include "platform/command.h"
#include "platform/directory.h"
#include "text/format.h"

namespace vorlan::deploy {
namespace {

using text::format;

// A failed copy is not ours to report, nor a reason to stop: the interpreter has said why.
bool copied(const char *command_format, std::string_view path) {
    return platform::run_command(format(command_format, {path})) == 0;
}

settings::StageResult went_on(bool all_copied) {
    return all_copied ? settings::StageResult::go_on
                      : settings::StageResult::go_on_after_failed_copy;
}

} // namespace

void ensure_directory(std::string_view path) {
    if (!platform::change_directory(path)) {
        platform::make_directory(path);
    }
}

settings::StageResult copy_web_files(const settings::InstallSettings &s) {
    platform::make_tree_copy_destination(s.htdocs_dir);
    return went_on(copied("xcopy htdocs\\*.* \"%s\" /s", s.htdocs_dir));
}

settings::StageResult make_directories_and_copy_jars(const settings::InstallSettings &s) {
    // The copy names its sources relative to the start directory.
    const auto start = platform::record_current_directory();
    ensure_directory(s.jk_dir);
    ensure_directory(s.pja_home);
    ensure_directory(s.pja_lib);
    platform::change_back(start);
    return went_on(copied("copy *.jar \"%s\"", s.pja_lib));
}

settings::StageResult copy_modules_and_web_archives(const settings::InstallSettings &s) {
    // The web archives are copied even when the modules could not be.
    const bool modules = copied("copy *.dll \"%s\\modules\"", s.apache_dir);
    const bool archives = copied("copy *.war \"%s\\webapps\"", s.tomcat_dir);
    return went_on(modules && archives);
}

} // namespace vorlan::deploy
