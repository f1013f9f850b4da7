#pragma once
// What the Windows side's file operations share.

#include <windows.h>

#include <string>

namespace vorlan::platform::win32 {

// The same conversion the C runtime makes, so that both name the same file.
inline std::wstring wide(const std::string &narrow) {
    const UINT code_page = AreFileApisANSI() ? CP_ACP : CP_OEMCP;
    const int length = MultiByteToWideChar(code_page, 0, narrow.data(),
                                           static_cast<int>(narrow.size()), nullptr, 0);
    std::wstring result(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(code_page, 0, narrow.data(), static_cast<int>(narrow.size()), result.data(),
                        length);
    return result;
}

// A refusal that lasts only while another program has the file open. Access
// is denied for good to a read-only file or a directory: never waited for.
inline bool is_held_error(DWORD error, const std::wstring &path) {
    if (error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION) {
        return true;
    }
    if (error != ERROR_ACCESS_DENIED) {
        return false;
    }
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES &&
           (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY)) == 0;
}

} // namespace vorlan::platform::win32
