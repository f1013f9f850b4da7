#include "platform/command.h"

#include <cstdio>
#include <cstdlib>

namespace vorlan::platform {

int run_command(const std::string &command_line) {
    // The command writes to the same console; what we printed must come first.
    std::fflush(stdout);
    return std::system(command_line.c_str());
}

} // namespace vorlan::platform
