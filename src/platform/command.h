#pragma once

#include <string>

namespace vorlan::platform {

// Hands one command line to the command interpreter and waits for it. The
// command shares the console; its exit status (0 for success) is returned.
int run_command(const std::string &command_line);

} // namespace vorlan::platform
