#pragma once

#include <filesystem>
#include <string_view>

namespace vorlan::platform {

// A current directory remembered so that the process can return to it.
struct RecordedDirectory {
    std::filesystem::path where;
};

RecordedDirectory record_current_directory();
// True when the directory exists and is now the current one.
bool change_directory(std::string_view windows_path);
bool change_back(const RecordedDirectory &recorded);
// Makes the last level only; true when it was created.
bool make_directory(std::string_view windows_path);

} // namespace vorlan::platform
