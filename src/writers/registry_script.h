#pragma once

#include "settings/install_settings.h"
#include "writers/file_mechanics.h"

#include <string>
#include <string_view>
#include <vector>

namespace vorlan::writers {

// A copy of the text with every `doubled` character written twice.
std::string double_char(std::string_view text, char doubled);

std::vector<std::string> registry_script_lines(const settings::InstallSettings &s);

// Replaces any earlier script without a word: it only ever holds our values.
settings::StageResult write_registry_script(const settings::InstallSettings &s);

} // namespace vorlan::writers
