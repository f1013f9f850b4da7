#include "platform/directory.h"
#include "settings/install_settings.h"

namespace vorlan::settings {

bool windows_fonts_dir_exists() {
    const auto start = platform::record_current_directory();
    const bool found = platform::change_directory(windows_fonts_dir);
    platform::change_back(start);
    return found;
}

} // namespace vorlan::settings
