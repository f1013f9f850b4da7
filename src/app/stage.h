#pragma once
// What the driver asks of every installation stage.

#include "settings/install_settings.h"

namespace vorlan::app {

// Whether the run goes on after a stage; a stage that stops has printed why.
enum class StageResult { go_on, stop };

using Stage = StageResult (*)(const settings::InstallSettings &);

} // namespace vorlan::app
