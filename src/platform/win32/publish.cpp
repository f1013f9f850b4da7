#include "platform/publish.h"

#include "platform/draft_name.h"
#include "platform/held_file.h"
#include "platform/open_file.h"
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

struct DraftFile::Temporary {
    std::wstring target;
    std::string shown_target;
    std::wstring path;
    HANDLE lock = INVALID_HANDLE_VALUE;
    bool named = false;

    ~Temporary() {
        if (!named && !path.empty()) {
            DeleteFileW(path.c_str());
        }
        if (lock != INVALID_HANDLE_VALUE) {
            CloseHandle(lock);
        }
    }

    // Written through a handle that does not share deleting, and locked
    // through a second one that lets the rename through.
    std::FILE *create(const std::wstring &directory) {
        for (;;) {
            path = in_directory(directory, widened(new_draft_name(GetCurrentProcessId())));
            const HANDLE file =
                CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                            nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
            if (file == INVALID_HANDLE_VALUE) {
                if (GetLastError() == ERROR_FILE_EXISTS) {
                    continue;
                }
                path.clear();
                return nullptr;
            }
            const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(file), _O_WRONLY | _O_BINARY);
            std::FILE *stream = fd < 0 ? nullptr : _fdopen(fd, "wb");
            if (stream == nullptr) {
                fd < 0 ? CloseHandle(file) : _close(fd);
                return nullptr;
            }
            lock = open_for_locking(path, OPEN_EXISTING);
            if (lock == INVALID_HANDLE_VALUE || !lock_far_byte(lock, 0)) {
                std::fclose(stream);
                return nullptr;
            }
            return stream;
        }
    }
};

void DraftFile::Dropper::operator()(Temporary *temporary) const {
    delete temporary;
}

DraftFile::TemporaryPtr DraftFile::make(const std::filesystem::path &target, std::FILE *&stream) {
    TemporaryPtr temporary(new Temporary{});
    temporary->target = wide(target.string());
    temporary->shown_target = target.string();
    std::wstring directory = wide(target.parent_path().string());
    if (directory.empty()) {
        directory = L".";
    }
    remove_stale_drafts(directory);
    stream = temporary->create(directory);
    return stream != nullptr ? std::move(temporary) : nullptr;
}

Publication DraftFile::name(Temporary &temporary, std::FILE *stream, PublishMode mode) {
    const HANDLE file = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream)));
    const bool written = std::fflush(stream) == 0 && FlushFileBuffers(file) != 0;
    const bool closed = std::fclose(stream) == 0;
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
            if (MoveFileExW(temporary.path.c_str(), temporary.target.c_str(), flags) != 0) {
                return Attempt::done;
            }
            error = GetLastError();
            return is_held_error(error, temporary.target) ? Attempt::held : Attempt::failed;
        },
        temporary.shown_target);
    if (outcome != Attempt::done) {
        return mode == PublishMode::create_new && name_taken(error) ? Publication::name_taken
                                                                    : Publication::failed;
    }
    // Our lock's handle is now open on the published file, and a file that
    // is open cannot be replaced: another run would be refused.
    CloseHandle(temporary.lock);
    temporary.lock = INVALID_HANDLE_VALUE;
    temporary.named = true;
    return Publication::published;
}

struct RewriteScratch::State {
    std::filesystem::path path;
    HANDLE lock = INVALID_HANDLE_VALUE;
    ~State() {
        if (lock != INVALID_HANDLE_VALUE) {
            CloseHandle(lock);
        }
    }
};

RewriteScratch::RewriteScratch(std::string_view windows_path) {
    if (windows_path.empty()) {
        return;
    }
    auto state = std::make_unique<State>();
    state->path = std::filesystem::path(std::string(windows_path));
    if (!remove_link_at(state->path)) {
        return;
    }
    // Without the lock (a file system without locks, or a file another
    // program holds, which the writing then waits for) the rewrite goes on,
    // unguarded.
    state->lock = open_for_locking(wide(std::string(windows_path)), OPEN_ALWAYS);
    if (state->lock != INVALID_HANDLE_VALUE) {
        lock_far_byte(state->lock, 0);
    }
    state_ = std::move(state);
}

RewriteScratch::~RewriteScratch() = default;

// The lock's handle only reads: cmd's copy refuses to read a file that
// another handle may write to without sharing writing. So the bytes go
// through a handle of their own, which the caller closes before the copy.
// An empty file, as a new scratch file is, is written as it stands.
std::FILE *RewriteScratch::rewrite() {
    if (!state_) {
        return nullptr;
    }
    OpenedFile opened = open_file(state_->path, OpenMode::update);
    if (opened.file != nullptr &&
        (std::fseek(opened.file, 0, SEEK_END) != 0 || std::ftell(opened.file) != 0)) {
        std::fclose(opened.file);
        opened = open_file(state_->path, OpenMode::create);
    }
    return opened.file;
}

} // namespace vorlan::platform
