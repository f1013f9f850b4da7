#include "platform/posix/file_at.h"

#include <filesystem>

namespace vorlan::platform::posix {

std::string FileAt::whole_path() const {
    return directory == AT_FDCWD ? name : joined_path(directory_path, name);
}

std::string FileAt::directory_of() const {
    if (directory != AT_FDCWD) {
        return std::string(directory_path);
    }
    return std::filesystem::path(name).parent_path().native();
}

DirectoryHandle::DirectoryHandle(const std::string &path)
    : fd_(::open(path.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC)), path_(path) {}

FileAt DirectoryHandle::file(std::string_view name) const {
    if (!fd_.is_open()) {
        return FileAt::by_whole_path(joined_path(path_, name));
    }
    return {fd_.get(), path_, std::string(name)};
}

std::string joined_path(std::string_view directory, std::string_view name) {
    std::string path(directory);
    if (!path.empty() && path.back() != '/') {
        path.push_back('/');
    }
    path.append(name);
    return path;
}

} // namespace vorlan::platform::posix
