#include "writers/container_scripts.h"

#include "text/format.h"

#include <array>

namespace vorlan::writers {

using settings::StageResult;
namespace {

using text::format;

// Every line we put at the top begins with one of these, so a re-run replaces
// its own settings instead of piling them up.
constexpr std::array<std::string_view, 3> startup_prefixes = {"set JAVA_HOME", "set JAVA_OPTS",
                                                              "set CLASSPATH"};
constexpr std::array<std::string_view, 1> shutdown_prefixes = {"set JAVA_HOME"};

constexpr const char *script_not_found = "file %s not found";

} // namespace

RewriteJob startup_script_job(const settings::InstallSettings &s) {
    return {
        .target = s.startup_bat,
        .scratch = s.startup_scratch,
        .prefixes = {startup_prefixes.begin(), startup_prefixes.end()},
        .head_lines =
            {
                format("set CLASSPATH=%%CLASSPATH%%;%s\\lib\\pja.jar;%s\\lib\\pjatools.jar",
                       {s.pja_home, s.pja_home}),
                format("set JAVA_HOME=%s", {s.java_home}),
                format("set JAVA_OPTS=-Xbootclasspath/a:%s\\lib\\pja.jar -Djava.awt.fonts=%s "
                       "-Duser.home=%%JAVA_HOME%%\\jre",
                       {s.pja_home, s.fonts_dir}),
            },
        .tail_lines = {},
    };
}

RewriteJob shutdown_script_job(const settings::InstallSettings &s) {
    return {
        .target = s.shutdown_bat,
        .scratch = s.shutdown_scratch,
        .prefixes = {shutdown_prefixes.begin(), shutdown_prefixes.end()},
        .head_lines = {format("set JAVA_HOME=%s", {s.java_home})},
        .tail_lines = {},
    };
}

StageResult rewrite_startup_script(const settings::InstallSettings &s) {
    return run_rewrite_stage(startup_script_job(s), script_not_found);
}

StageResult rewrite_shutdown_script(const settings::InstallSettings &s) {
    return run_rewrite_stage(shutdown_script_job(s), script_not_found);
}

} // namespace vorlan::writers
