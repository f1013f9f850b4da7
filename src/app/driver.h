#pragma once

namespace vorlan::app {

// The whole installation; returns the process exit status.
int run_installer();

} // namespace vorlan::app
