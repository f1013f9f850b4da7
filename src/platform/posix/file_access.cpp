#include "platform/held_file.h"
#include "platform/open_file.h"

namespace vorlan::platform {

// The interpreter runs inside this process, so no command inherits a handle;
// and a POSIX open is never refused for another program's open.
OpenedFile open_file(const std::filesystem::path &path, OpenMode mode) {
    const char *modes[] = {"rb", "r+b", "wb"};
    return {std::fopen(path.c_str(), modes[static_cast<int>(mode)]), false};
}

bool held_by_another_program(std::string_view) {
    return false;
}

} // namespace vorlan::platform
