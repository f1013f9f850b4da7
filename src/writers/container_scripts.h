#pragma once

#include "settings/install_settings.h"
#include "writers/file_mechanics.h"

namespace vorlan::writers {

RewriteJob startup_script_job(const settings::InstallSettings &s);
RewriteJob shutdown_script_job(const settings::InstallSettings &s);

settings::StageResult rewrite_startup_script(const settings::InstallSettings &s);
settings::StageResult rewrite_shutdown_script(const settings::InstallSettings &s);

} // namespace vorlan::writers
