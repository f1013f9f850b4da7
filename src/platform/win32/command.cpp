#include "platform/command.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace vorlan::platform {
namespace {

// The C runtime answers -1 only when the interpreter could not be started,
// so nothing ran; Windows, and Wine more often, now and then refuses to
// start a process for a moment. A command that ran is never run again.
constexpr int interpreter_not_started = -1;
constexpr int start_attempts = 3;

} // namespace

int run_command(const std::string &command_line) {
    // cmd's copy asks before overwriting unless run from a batch file; with
    // its output sent to NUL the question would be invisible and the run
    // would hang. Both builds overwrite without asking.
    static const bool overwrite_without_asking = _putenv("COPYCMD=/Y") == 0;
    static_cast<void>(overwrite_without_asking);
    // The command writes to the same console; what we printed must come first.
    std::fflush(stdout);
    int status = interpreter_not_started;
    for (int attempt = 0; attempt < start_attempts && status == interpreter_not_started;
         ++attempt) {
        status = std::system(command_line.c_str());
    }
    return status;
}

void make_tree_copy_destination(std::string_view windows_path) {
    std::error_code error;
    std::filesystem::create_directories(std::filesystem::path(windows_path), error);
}

} // namespace vorlan::platform
