#pragma once
// What every installation stage answers: the writers and the copies take the
// settings, and the driver runs them in order.

#include "settings/install_settings.h"

namespace vorlan::settings {

// Whether the run goes on after a stage; a stage that stops has printed why.
// A copy that failed lets the run go on, but leaves the installation partial.
enum class StageResult { go_on, go_on_after_failed_copy, stop };

using Stage = StageResult (*)(const InstallSettings &);

} // namespace vorlan::settings
