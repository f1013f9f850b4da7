#include "platform/posix/directory_listing.h"

#include "platform/posix/ascii.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <memory>

namespace vorlan::platform::posix {
namespace {

struct DirectoryCloser {
    void operator()(DIR *directory) const { closedir(directory); }
};

EntryType type_of(const struct stat &status) {
    if (S_ISREG(status.st_mode)) {
        return EntryType::regular_file;
    }
    return S_ISDIR(status.st_mode) ? EntryType::directory : EntryType::other;
}

// d_type spares a stat for all but links and file systems that leave it out.
EntryType type_of(DIR *directory, const dirent &entry, EntryTypes types) {
    switch (entry.d_type) {
    case DT_REG:
        return EntryType::regular_file;
    case DT_DIR:
        return EntryType::directory;
    case DT_LNK:
    case DT_UNKNOWN:
        break;
    default:
        return EntryType::other;
    }
    if (types == EntryTypes::leave_unknown) {
        return EntryType::unknown;
    }
    struct stat status {};
    if (fstatat(dirfd(directory), entry.d_name, &status, 0) != 0) {
        return EntryType::other;
    }
    return type_of(status);
}

bool is_dot_or_dot_dot(std::string_view name) {
    return name == "." || name == "..";
}

} // namespace

DirectoryListing list_directory(const std::filesystem::path &directory, EntryTypes types) {
    DirectoryListing listing;
    const std::unique_ptr<DIR, DirectoryCloser> handle(opendir(directory.c_str()));
    struct stat own_status {};
    if (!handle || fstat(dirfd(handle.get()), &own_status) != 0) {
        listing.error = errno;
        return listing;
    }
    listing.device = own_status.st_dev;
    listing.inode = own_status.st_ino;
    for (;;) {
        errno = 0;
        const dirent *entry = readdir(handle.get());
        if (entry == nullptr) {
            break;
        }
        if (!is_dot_or_dot_dot(entry->d_name)) {
            listing.entries.push_back({entry->d_name, type_of(handle.get(), *entry, types)});
        }
    }
    listing.error = errno;
    return listing;
}

void sort_ignoring_case(std::vector<DirectoryEntry> &entries) {
    std::sort(entries.begin(), entries.end(), [](const DirectoryEntry &a, const DirectoryEntry &b) {
        return ascii_iless(a.name, b.name);
    });
}

void CaseInsensitiveNames::add(std::string_view name) {
    auto [place, added] = by_lowered_.try_emplace(ascii_lowered(name), name);
    if (!added && name < place->second) {
        place->second = name;
    }
}

const std::string *CaseInsensitiveNames::find(std::string_view name) const {
    const auto place = by_lowered_.find(ascii_lowered(name));
    return place == by_lowered_.end() ? nullptr : &place->second;
}

int read_names(const std::filesystem::path &directory, CaseInsensitiveNames &names) {
    const DirectoryListing listing = list_directory(directory, EntryTypes::leave_unknown);
    for (const DirectoryEntry &entry : listing.entries) {
        names.add(entry.name);
    }
    return listing.error;
}

} // namespace vorlan::platform::posix
