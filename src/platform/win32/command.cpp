#include "platform/command.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace vorlan::platform {

int run_command(const std::string &command_line) {
    // cmd's copy asks before overwriting unless run from a batch file; with
    // its output sent to NUL the question would be invisible and the run
    // would hang. Both builds overwrite without asking.
    static const bool overwrite_without_asking = _putenv("COPYCMD=/Y") == 0;
    static_cast<void>(overwrite_without_asking);
    // The command writes to the same console; what we printed must come first.
    std::fflush(stdout);
    return std::system(command_line.c_str());
}

void make_tree_copy_destination(std::string_view windows_path) {
    std::error_code error;
    std::filesystem::create_directories(std::filesystem::path(windows_path), error);
}

} // namespace vorlan::platform
