#include "writers/web_server_config.h"

#include "text/format.h"
#include "writers/marker.h"

#include <array>

namespace vorlan::writers {

using settings::StageResult;
namespace {

using text::format;

// Every Include goes, not only ours: only the one naming our file comes back.
constexpr std::array<std::string_view, 2> httpd_conf_prefixes = {"Include", "#configured"};

constexpr std::array<const char *, 5> mount_formats = {
    "JkMount /*.jsp %s",
    "JkMount /servlet/* %s",
    "JkMount /vorlan/jsp/* %s",
    "JkMount /vorlan/servlet/* %s",
    "JkMount /vorlan/graphimages/* %s",
};

std::string worker_name(const settings::InstallSettings &s) {
    return s.use_ajp12 ? "ajp12" : "ajp13";
}

} // namespace

StageResult rewrite_httpd_conf(const settings::InstallSettings &s) {
    const RewriteJob job{
        .target = s.httpd_conf,
        .scratch = s.httpd_scratch,
        .prefixes = {httpd_conf_prefixes.begin(), httpd_conf_prefixes.end()},
        .head_lines = {},
        .tail_lines = {"", std::string(configured_marker), format("Include \"%s\"", {s.jk_conf})},
    };
    return run_rewrite_stage(job, "***ERROR*** file %s not found");
}

std::vector<std::string> connector_config_lines(const settings::InstallSettings &s) {
    std::vector<std::string> lines = {
        std::string(configured_marker),
        "LoadModule jk_module modules/mod_jk.dll",
        "<IfModule mod_jk.c>",
        format("JkWorkersFile \"%s\"", {s.workers_file}),
        "JkLogFile  logs/vorlan_mod_jk.log",
        "JkLogLevel error",
    };
    const std::string worker = worker_name(s);
    for (const char *mount : mount_formats) {
        lines.push_back(format(mount, {worker}));
    }
    lines.emplace_back("</IfModule>");
    return lines;
}

StageResult create_connector_config(const settings::InstallSettings &s) {
    return write_once(s.jk_conf, connector_config_lines(s));
}

} // namespace vorlan::writers
