// Holds a file as a virus scanner or an indexer does: open for reading,
// sharing reading alone, so that nobody may write, replace or delete it; or,
// given SHARING "none", sharing nothing, as a writer may.
//   hold_file FILE MILLISECONDS READY [SHARING]
// READY is created once the file is held; the file is let go after
// MILLISECONDS, or as soon as READY is deleted. Exit status 0, or 1 when
// FILE could not be opened.
#include <windows.h>

#include <cstdlib>
#include <string_view>

int main(int argc, char **argv) {
    if (argc != 4 && argc != 5) {
        return 2;
    }
    const DWORD sharing = argc == 5 && std::string_view(argv[4]) == "none" ? 0 : FILE_SHARE_READ;
    const HANDLE held = CreateFileA(argv[1], GENERIC_READ, sharing, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (held == INVALID_HANDLE_VALUE) {
        return 1;
    }
    CloseHandle(CreateFileA(argv[3], GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr));
    const DWORD start = GetTickCount();
    const DWORD length = std::strtoul(argv[2], nullptr, 10);
    while (GetTickCount() - start < length &&
           GetFileAttributesA(argv[3]) != INVALID_FILE_ATTRIBUTES) {
        Sleep(10);
    }
    CloseHandle(held);
    return 0;
}
