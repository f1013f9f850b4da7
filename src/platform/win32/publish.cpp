#include "platform/publish.h"

#include "platform/draft_name.h"
#include "platform/held_file.h"
#include "platform/win32/windows_files.h"

#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <string>

namespace vorlan::platform {
namespace {

using win32::is_held_error;
using win32::wide;

// The lock covers one byte far past any data, so that it never stands in the
// way of reading or writing the file; this is where SQLite puts its locks too.
OVERLAPPED far_byte() {
    OVERLAPPED where{};
    where.Offset = 0xfffffff0u;
    where.OffsetHigh = 0x7fffffffu;
    return where;
}

bool lock_far_byte(HANDLE file, DWORD flags) {
    OVERLAPPED where = far_byte();
    return LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK | flags, 0, 1, 0, &where) != 0;
}

// Our names are ASCII, so each character widens to itself.
std::wstring widened(std::string_view ascii) {
    return std::wstring(ascii.begin(), ascii.end());
}

bool is_wide_draft_name(std::wstring_view name) {
    std::string narrow;
    for (const wchar_t character : name) {
        if (character > 0x7f) {
            return false;
        }
        narrow.push_back(static_cast<char>(character));
    }
    return is_draft_name(narrow);
}

std::wstring in_directory(const std::wstring &directory, std::wstring_view name) {
    std::wstring path = directory;
    if (!path.empty() && path.back() != L'\\' && path.back() != L'/') {
        path.push_back(L'\\');
    }
    return path.append(name);
}

HANDLE open_for_locking(const std::wstring &path, DWORD disposition) {
    return CreateFileW(path.c_str(), GENERIC_READ,
                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, disposition,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
}

// A temporary is stale when no run holds its lock. One whose writer still
// has it open cannot be deleted, for that handle does not share deleting.
void remove_if_stale(const std::wstring &path) {
    const HANDLE file = open_for_locking(path, OPEN_EXISTING);
    if (file == INVALID_HANDLE_VALUE) {
        return;
    }
    const bool stale = lock_far_byte(file, LOCKFILE_FAIL_IMMEDIATELY);
    CloseHandle(file);
    if (stale) {
        DeleteFileW(path.c_str());
    }
}

void remove_stale_drafts(const std::wstring &directory) {
    WIN32_FIND_DATAW found;
    const std::wstring pattern = in_directory(directory, widened(draft_prefix) + L"*");
    const HANDLE search = FindFirstFileW(pattern.c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) {
        return;
    }
    do {
        if (is_wide_draft_name(found.cFileName)) {
            remove_if_stale(in_directory(directory, found.cFileName));
        }
    } while (FindNextFileW(search, &found));
    FindClose(search);
}

bool name_taken(DWORD error) {
    return error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS;
}

} // namespace

struct DraftFile::State {
    std::wstring target;
    std::string shown_target;
    std::wstring temporary;
    HANDLE lock = INVALID_HANDLE_VALUE;
    std::FILE *stream = nullptr;
    bool published = false;

    ~State() {
        if (stream != nullptr) {
            std::fclose(stream);
        }
        if (!published && !temporary.empty()) {
            DeleteFileW(temporary.c_str());
        }
        if (lock != INVALID_HANDLE_VALUE) {
            CloseHandle(lock);
        }
    }

    // Written through a handle that does not share deleting, and locked
    // through a second one that lets the rename through.
    bool create(const std::wstring &directory) {
        for (;;) {
            temporary = in_directory(directory, widened(new_draft_name(GetCurrentProcessId())));
            const HANDLE file =
                CreateFileW(temporary.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                            nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
            if (file == INVALID_HANDLE_VALUE) {
                if (GetLastError() == ERROR_FILE_EXISTS) {
                    continue;
                }
                temporary.clear();
                return false;
            }
            const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(file), _O_WRONLY | _O_BINARY);
            stream = fd < 0 ? nullptr : _fdopen(fd, "wb");
            if (stream == nullptr) {
                fd < 0 ? CloseHandle(file) : _close(fd);
                return false;
            }
            lock = open_for_locking(temporary, OPEN_EXISTING);
            return lock != INVALID_HANDLE_VALUE && lock_far_byte(lock, 0);
        }
    }

    Publication publish(PublishMode mode) {
        const HANDLE file = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream)));
        const bool written = std::fflush(stream) == 0 && FlushFileBuffers(file) != 0;
        const bool closed = std::fclose(stream) == 0;
        stream = nullptr;
        if (!written || !closed) {
            return Publication::failed;
        }
        DWORD flags = MOVEFILE_WRITE_THROUGH;
        if (mode == PublishMode::replace) {
            flags |= MOVEFILE_REPLACE_EXISTING;
        }
        DWORD error = 0;
        const Attempt outcome = try_while_held(
            [&] {
                if (MoveFileExW(temporary.c_str(), target.c_str(), flags) != 0) {
                    return Attempt::done;
                }
                error = GetLastError();
                return is_held_error(error, target) ? Attempt::held : Attempt::failed;
            },
            shown_target);
        if (outcome != Attempt::done) {
            return mode == PublishMode::create_new && name_taken(error) ? Publication::name_taken
                                                                        : Publication::failed;
        }
        // Our lock's handle is now open on the published file, and a file
        // that is open cannot be replaced: another run would be refused.
        CloseHandle(lock);
        lock = INVALID_HANDLE_VALUE;
        published = true;
        return Publication::published;
    }
};

DraftFile::DraftFile() = default;
DraftFile::~DraftFile() = default;

bool DraftFile::open(const std::filesystem::path &target) {
    auto state = std::make_unique<State>();
    state->target = wide(target.string());
    state->shown_target = target.string();
    std::wstring directory = wide(target.parent_path().string());
    if (directory.empty()) {
        directory = L".";
    }
    remove_stale_drafts(directory);
    if (!state->create(directory)) {
        return false;
    }
    state_ = std::move(state);
    return true;
}

std::FILE *DraftFile::stream() const {
    return state_ ? state_->stream : nullptr;
}

Publication DraftFile::publish(PublishMode mode) {
    if (!state_ || state_->stream == nullptr) {
        return Publication::failed;
    }
    const Publication publication = state_->publish(mode);
    state_.reset();
    return publication;
}

struct RewriteLock::State {
    HANDLE file = INVALID_HANDLE_VALUE;
    ~State() {
        if (file != INVALID_HANDLE_VALUE) {
            CloseHandle(file);
        }
    }
};

// Read access only: cmd's copy refuses to read a file that another handle
// may write to without sharing writing.
RewriteLock::RewriteLock(std::string_view scratch_windows_path) {
    if (scratch_windows_path.empty()) {
        return;
    }
    auto state = std::make_unique<State>();
    state->file = open_for_locking(wide(std::string(scratch_windows_path)), OPEN_ALWAYS);
    if (state->file != INVALID_HANDLE_VALUE && lock_far_byte(state->file, 0)) {
        state_ = std::move(state);
    }
}

RewriteLock::~RewriteLock() = default;

} // namespace vorlan::platform
