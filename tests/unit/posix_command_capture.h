#pragma once
// Runs a command line as run_command does, with both output streams captured.

#include "platform/posix/cmd/command_line.h"
#include "platform/posix/cmd/interpreter.h"

#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

namespace vorlan::testing {

inline std::vector<std::string> lines_of(const std::string &text) {
    std::vector<std::string> lines;
    std::istringstream stream(text);
    for (std::string line; std::getline(stream, line);) {
        lines.push_back(line);
    }
    return lines;
}

struct CommandResult {
    int status = -1;
    std::vector<std::string> out;
    std::vector<std::string> err;
};

inline CommandResult run(const std::string &line) {
    char *out_text = nullptr;
    char *err_text = nullptr;
    std::size_t out_size = 0;
    std::size_t err_size = 0;
    std::FILE *out = ::open_memstream(&out_text, &out_size);
    std::FILE *err = ::open_memstream(&err_text, &err_size);
    CommandResult result;
    result.status =
        platform::posix::run_parsed_command(platform::posix::parse_command_line(line), out, err);
    std::fclose(out);
    std::fclose(err);
    result.out = lines_of(std::string(out_text, out_size));
    result.err = lines_of(std::string(err_text, err_size));
    std::free(out_text);
    std::free(err_text);
    return result;
}

} // namespace vorlan::testing
