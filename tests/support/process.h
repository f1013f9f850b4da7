#pragma once
// Runs a program as a user would: its own working directory and environment,
// answers on standard input, both output streams captured, and a time limit.

#include <chrono>
#include <map>
#include <string>
#include <vector>

namespace e2e {

struct ProcessResult {
    std::string out;
    std::string err;
    int exit_status = -1; // -1 when killed or timed out
    bool timed_out = false;
};

struct ProcessRequest {
    std::vector<std::string> argv;
    std::string working_directory;
    std::map<std::string, std::string> extra_environment;
    std::string input;
    std::chrono::milliseconds limit{std::chrono::seconds(60)};
};

ProcessResult run_process(const ProcessRequest &request);

} // namespace e2e
