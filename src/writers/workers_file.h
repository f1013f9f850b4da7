#pragma once

#include "settings/install_settings.h"
#include "writers/file_mechanics.h"

#include <string>
#include <vector>

namespace vorlan::writers {

std::vector<std::string> workers_file_lines(bool use_ajp12);
settings::StageResult create_workers_file(const settings::InstallSettings &s);

} // namespace vorlan::writers
