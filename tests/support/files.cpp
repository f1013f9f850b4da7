#include "support/files.h"

#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>
#include <system_error>

namespace vorlan::testing {

TemporaryFolder::TemporaryFolder(std::string_view purpose, const fs::path &under) {
    std::random_device entropy;
    const fs::path base = under.empty() ? fs::temp_directory_path() : under;
    for (int attempt = 0; attempt < 100; ++attempt) {
        const fs::path candidate =
            base / ("vorlan-" + std::string(purpose) + "-" + std::to_string(entropy()));
        // Fails on a name that exists, so no two folders are ever shared.
        if (fs::create_directory(candidate)) {
            root_ = fs::canonical(candidate);
            return;
        }
    }
    throw std::runtime_error("cannot make a temporary folder in " + base.string());
}

TemporaryFolder::~TemporaryFolder() {
    std::error_code ignored;
    fs::remove_all(root_, ignored);
}

ScopedCurrentDirectory::ScopedCurrentDirectory(const fs::path &directory)
    : old_(fs::current_path()) {
    fs::current_path(directory);
}

ScopedCurrentDirectory::~ScopedCurrentDirectory() {
    std::error_code ignored;
    fs::current_path(old_, ignored);
}

void write_file(const fs::path &path, std::string_view bytes) {
    if (path.has_parent_path()) {
        fs::create_directories(path.parent_path());
    }
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!file.flush()) {
        throw std::runtime_error("cannot write " + path.string());
    }
}

std::string read_file(const fs::path &path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

Files files_below(const fs::path &dir, const std::set<std::string> &skipped) {
    Files files;
    for (auto entry = fs::recursive_directory_iterator(dir);
         entry != fs::recursive_directory_iterator(); ++entry) {
        if (entry.depth() == 0 && skipped.count(entry->path().filename().string()) != 0) {
            entry.disable_recursion_pending();
        } else if (entry->is_regular_file()) {
            files[entry->path().lexically_relative(dir).generic_string()] =
                read_file(entry->path());
        }
    }
    return files;
}

std::string describe_tree(const fs::path &dir, const std::set<std::string> &skipped) {
    std::string result;
    for (const auto &[name, content] : files_below(dir, skipped)) {
        result += name + ": " + content + "\n";
    }
    return result;
}

unsigned mode_bits(const fs::path &path) {
    return static_cast<unsigned>(fs::status(path).permissions());
}

std::string binary_content(std::size_t size, unsigned seed) {
    std::string bytes(size, '\0');
    unsigned state = seed * 2654435761u + 1;
    for (char &byte : bytes) {
        state = state * 1103515245u + 12345u;
        byte = static_cast<char>(state >> 16);
    }
    return bytes;
}

} // namespace vorlan::testing
