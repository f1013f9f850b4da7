#include "platform/held_file.h"
#include "platform/open_file.h"
#include "platform/win32/windows_files.h"

#include <fcntl.h>
#include <io.h>

namespace vorlan::platform {
namespace {

using win32::is_held_error;
using win32::wide;

struct Access {
    DWORD desired;
    DWORD disposition;
    int descriptor_flags;
    const char *stream_mode;
};

Access access_for(OpenMode mode) {
    switch (mode) {
    case OpenMode::read:
        return {GENERIC_READ, OPEN_EXISTING, _O_RDONLY, "rb"};
    case OpenMode::update:
        return {GENERIC_READ | GENERIC_WRITE, OPEN_EXISTING, _O_RDWR, "r+b"};
    case OpenMode::create:
        break;
    }
    return {GENERIC_WRITE, CREATE_ALWAYS, _O_WRONLY, "wb"};
}

// Shared as the C runtime's fopen shares; not inheritable, unlike fopen's.
HANDLE open_handle(const std::wstring &name, const Access &access) {
    return CreateFileW(name.c_str(), access.desired, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                       access.disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
}

} // namespace

OpenedFile open_file(const std::filesystem::path &path, OpenMode mode) {
    const std::wstring name = wide(path.string());
    const Access access = access_for(mode);
    HANDLE handle = INVALID_HANDLE_VALUE;
    const Attempt outcome = try_while_held(
        [&] {
            handle = open_handle(name, access);
            if (handle != INVALID_HANDLE_VALUE) {
                return Attempt::done;
            }
            return is_held_error(GetLastError(), name) ? Attempt::held : Attempt::failed;
        },
        path.string());
    if (outcome != Attempt::done) {
        return {nullptr, outcome == Attempt::held};
    }
    const int fd =
        _open_osfhandle(reinterpret_cast<intptr_t>(handle), access.descriptor_flags | _O_BINARY);
    std::FILE *file = fd < 0 ? nullptr : _fdopen(fd, access.stream_mode);
    if (file == nullptr) {
        fd < 0 ? CloseHandle(handle) : _close(fd);
    }
    return {file, false};
}

// Opened for writing, sharing everything, and closed at once: refused only
// where a writer would be.
bool held_by_another_program(std::string_view windows_path) {
    const std::wstring name = wide(std::string(windows_path));
    const HANDLE probe = CreateFileW(name.c_str(), GENERIC_WRITE,
                                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                     nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (probe != INVALID_HANDLE_VALUE) {
        CloseHandle(probe);
        return false;
    }
    return is_held_error(GetLastError(), name);
}

} // namespace vorlan::platform
