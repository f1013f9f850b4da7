#pragma once

#include "settings/install_settings.h"
#include "writers/file_mechanics.h"

#include <string>
#include <vector>

namespace vorlan::writers {

settings::StageResult rewrite_httpd_conf(const settings::InstallSettings &s);
settings::StageResult create_connector_config(const settings::InstallSettings &s);

std::vector<std::string> connector_config_lines(const settings::InstallSettings &s);

} // namespace vorlan::writers
