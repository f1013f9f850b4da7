#pragma once

#include <string>
#include <string_view>

namespace vorlan::platform {

// Hands one command line to the command interpreter and waits for it. The
// command shares the console; its exit status (0 for success) is returned.
int run_command(const std::string &command_line);

// Makes the folder that a tree copy goes into, with its parents, where the
// interpreter's xcopy would otherwise ask whether it names a file or a
// folder: a question nobody answers when the answers come from a pipe. A
// folder that cannot be made is left to the copy to complain of.
void make_tree_copy_destination(std::string_view windows_path);

} // namespace vorlan::platform
