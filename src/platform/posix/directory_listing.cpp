#include "platform/posix/directory_listing.h"

#include "platform/posix/ascii.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <limits>
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

namespace {

// Appends `name` and its NUL: where it begins plus one, 0 when it does not fit.
NameOffset keep(std::string &names, std::string_view name) {
    if (names.size() + name.size() + 2 > std::numeric_limits<NameOffset>::max()) {
        return 0;
    }
    const auto begins = static_cast<NameOffset>(names.size());
    names.append(name);
    names.push_back('\0');
    return begins + 1;
}

} // namespace

bool DirectoryListing::add(std::string_view name, EntryType type) {
    const NameOffset kept = keep(names_, name);
    if (kept != 0) {
        entries_.push_back({kept - 1, type});
    }
    return kept != 0;
}

void DirectoryListing::sort_ignoring_case() {
    std::sort(entries_.begin(), entries_.end(),
              [this](const Entry &a, const Entry &b) { return ascii_iless(name(a), name(b)); });
}

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
        if (!is_dot_or_dot_dot(entry->d_name) &&
            !listing.add(entry->d_name, type_of(handle.get(), *entry, types))) {
            errno = EOVERFLOW;
            break;
        }
    }
    listing.error = errno;
    return listing;
}

namespace {

// FNV-1a over the lowered bytes: names equal but for case meet.
std::size_t hash_ignoring_case(std::string_view name) {
    std::uint64_t hash = 14695981039346656037u;
    for (const char c : name) {
        hash = (hash ^ static_cast<unsigned char>(ascii_lower(c))) * 1099511628211u;
    }
    return static_cast<std::size_t>(hash);
}

} // namespace

void CaseInsensitiveNames::add(std::string_view name) {
    if (2 * (count_ + 1) > slots_.size()) {
        grow();
    }
    const std::size_t slot = slot_for(name);
    const bool free = slots_[slot] == 0;
    if (free || name < name_in(slot)) {
        if (const NameOffset kept = keep(names_, name)) {
            slots_[slot] = kept;
            count_ += free ? 1 : 0;
        }
    }
}

std::optional<std::string_view> CaseInsensitiveNames::find(std::string_view name) const {
    if (slots_.empty()) {
        return std::nullopt;
    }
    const std::size_t slot = slot_for(name);
    return slots_[slot] == 0 ? std::nullopt : std::optional(name_in(slot));
}

// Linear probing in a table at most half full, whose size is a power of two.
std::size_t CaseInsensitiveNames::slot_for(std::string_view name) const {
    const std::size_t mask = slots_.size() - 1;
    for (std::size_t slot = hash_ignoring_case(name) & mask;; slot = (slot + 1) & mask) {
        if (slots_[slot] == 0 || ascii_iequal(name_in(slot), name)) {
            return slot;
        }
    }
}

void CaseInsensitiveNames::grow() {
    std::vector<NameOffset> old = std::move(slots_);
    slots_.assign(std::max<std::size_t>(16, 2 * old.size()), 0);
    for (const NameOffset begins : old) {
        if (begins != 0) {
            slots_[slot_for(names_.c_str() + begins - 1)] = begins;
        }
    }
}

int read_names(const std::filesystem::path &directory, CaseInsensitiveNames &names) {
    const DirectoryListing listing = list_directory(directory, EntryTypes::leave_unknown);
    for (const DirectoryListing::Entry &entry : listing.entries()) {
        names.add(listing.name(entry));
    }
    return listing.error;
}

} // namespace vorlan::platform::posix
