#pragma once
// What the driver asks of every installation stage.

#include "settings/install_settings.h"

namespace vorlan::app {

// Whether the run goes on after a stage; a stage that stops has printed why.
// A copy that failed lets the run go on, but leaves the installation partial.
enum class StageResult { go_on, go_on_after_failed_copy, stop };

using Stage = StageResult (*)(const settings::InstallSettings &);

} // namespace vorlan::app
