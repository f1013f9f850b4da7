#include "support/wine_prefix.h"

#include <stdlib.h>

namespace vorlan::testing {

ScopedEnvironment::ScopedEnvironment(std::string name, const std::optional<std::string> &value)
    : name_(std::move(name)) {
    if (const char *old = ::getenv(name_.c_str())) {
        old_ = old;
    }
    set(value);
}

ScopedEnvironment::~ScopedEnvironment() {
    set(old_);
}

void ScopedEnvironment::set(const std::optional<std::string> &value) const {
    if (value) {
        ::setenv(name_.c_str(), value->c_str(), 1);
    } else {
        ::unsetenv(name_.c_str());
    }
}

void map_drive(const fs::path &prefix, char letter, const fs::path &target) {
    fs::create_directories(prefix / "dosdevices");
    fs::create_directory_symlink(target, prefix / "dosdevices" / (std::string(1, letter) + ":"));
}

void lay_out_wine_prefix(const fs::path &prefix) {
    fs::create_directories(prefix / "drive_c");
    map_drive(prefix, 'c', "../drive_c");
}

WinePrefix::WinePrefix(std::string_view purpose)
    : tree_(purpose), environment_("WINEPREFIX", prefix().native()) {
    lay_out();
}

void WinePrefix::map_drive(char letter, const fs::path &target) const {
    testing::map_drive(prefix(), letter, target);
}

void WinePrefix::lay_out() const {
    lay_out_wine_prefix(prefix());
    fs::create_directories(outside());
}

} // namespace vorlan::testing
