#include "platform/directory.h"
#include "settings/install_settings.h"

namespace vorlan::settings {

// Changing into it, not asking whether it exists, is the test: it takes only a
// directory the process can enter, found as every other path of the run is
// found, and a file of that name does not pass.
bool windows_fonts_dir_exists() {
    const auto start = platform::record_current_directory();
    const bool found = platform::change_directory(windows_fonts_dir);
    platform::change_back(start);
    return found;
}

} // namespace vorlan::settings
