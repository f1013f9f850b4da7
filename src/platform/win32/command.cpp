#include "platform/command.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace vorlan::platform {
namespace {

// Two runs at once copy the same files, and cmd's copy refuses to write a
// file that another copy is writing: the commands of all runs take turns.
// A run that is killed lets go of its turn with its mutex handle. A turn is
// held only while cmd runs, never while a run waits for anything else.
class CommandTurn {
  public:
    CommandTurn() : mutex_(CreateMutexW(nullptr, FALSE, L"vorlan-setup-commands")) {
        if (mutex_ != nullptr) {
            const DWORD waited = WaitForSingleObject(mutex_, INFINITE);
            held_ = waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED;
        }
    }
    CommandTurn(const CommandTurn &) = delete;
    CommandTurn &operator=(const CommandTurn &) = delete;
    ~CommandTurn() {
        if (held_) {
            ReleaseMutex(mutex_);
        }
        if (mutex_ != nullptr) {
            CloseHandle(mutex_);
        }
    }

  private:
    HANDLE mutex_;
    bool held_ = false;
};

} // namespace

int run_command(const std::string &command_line) {
    // cmd's copy asks before overwriting unless run from a batch file; with
    // its output sent to NUL the question would be invisible and the run
    // would hang. Both builds overwrite without asking.
    static const bool overwrite_without_asking = _putenv("COPYCMD=/Y") == 0;
    static_cast<void>(overwrite_without_asking);
    // The command writes to the same console; what we printed must come first.
    std::fflush(stdout);
    const CommandTurn turn;
    return std::system(command_line.c_str());
}

void make_tree_copy_destination(std::string_view windows_path) {
    std::error_code error;
    std::filesystem::create_directories(std::filesystem::path(windows_path), error);
}

} // namespace vorlan::platform
