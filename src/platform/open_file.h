#pragma once
// Opening the files the installer reads and rewrites, in binary mode, with a
// handle that no command the run starts inherits: a command that lived on
// with it would hold the file against the next writer.

#include <cstdio>
#include <filesystem>

namespace vorlan::platform {

enum class OpenMode {
    read,   // an existing file, for reading
    update, // an existing file, for reading and writing
    create, // created, or truncated, for writing
};

struct OpenedFile {
    std::FILE *file = nullptr;
    // Not opened because another program held the file all the while.
    bool held = false;
};

// Waits while another program holds the file (held_file.h).
OpenedFile open_file(const std::filesystem::path &path, OpenMode mode);

} // namespace vorlan::platform
