#pragma once
// The distribution's files are copied by the command interpreter, named
// relative to the directory the installer was started in.

#include "settings/install_settings.h"
#include "settings/stage.h"

#include <string_view>

namespace vorlan::deploy {

// Makes the directory current if it exists, else creates its last level.
// Whoever calls this brings the current directory back.
void ensure_directory(std::string_view path);

settings::StageResult copy_web_files(const settings::InstallSettings &s);
settings::StageResult make_directories_and_copy_jars(const settings::InstallSettings &s);
settings::StageResult copy_modules_and_web_archives(const settings::InstallSettings &s);

} // namespace vorlan::deploy
