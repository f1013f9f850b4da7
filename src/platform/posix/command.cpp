#include "platform/command.h"

#include "platform/posix/cmd/command_line.h"
#include "platform/posix/cmd/interpreter.h"

#include <cstdio>

namespace vorlan::platform {

int run_command(const std::string &command_line) {
    // What the program printed before must come out before the command's lines.
    std::fflush(stdout);
    const int status =
        posix::run_parsed_command(posix::parse_command_line(command_line), stdout, stderr);
    std::fflush(stdout);
    return status;
}

// This interpreter's xcopy makes the folders itself, and syncs them.
void make_tree_copy_destination(std::string_view) {}

} // namespace vorlan::platform
