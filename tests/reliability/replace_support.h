#pragma once
// What the installer must leave in the files it replaces, worked out here from
// the old bytes alone, and ways to run it that the end-to-end scenario lacks.

#include "support/scenario.h"

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace reliability {

namespace fs = std::filesystem;

// The old content with every line beginning with one of the prefixes left
// out, every kept line ending in CR LF (a last line without a line end keeps
// none), between the head and the tail lines.
std::string filtered_rewrite(std::string_view old, const std::vector<std::string_view> &prefixes,
                             const std::vector<std::string> &head,
                             const std::vector<std::string> &tail);

// What a run with every default answer writes over the given old contents.
std::string httpd_conf_after_default_run(std::string_view old);
std::string startup_bat_after_default_run(std::string_view old);
std::string shutdown_bat_after_default_run(std::string_view old);

using e2e::accept_defaults;

// Scenario::run with a time limit: the program is killed with SIGKILL when
// it has not ended by then. A wrapper (see run_wrapped) must exec it.
e2e::ProcessResult run_with_limit(const e2e::Scenario &machine, const std::string &input,
                                  std::chrono::milliseconds limit,
                                  const std::vector<std::string> &wrapper = {});

// The same, with the program started as `wrapper... program` (a tracer).
e2e::ProcessResult run_wrapped(const e2e::Scenario &machine, const std::string &input,
                               const std::vector<std::string> &wrapper);

// A short account of two large strings that differ, instead of both whole.
std::string difference(std::string_view actual, std::string_view expected);

// Names of the temporary files the atomic replace leaves in `dir` when it is
// killed before the rename.
std::vector<fs::path> replace_leftovers(const fs::path &dir);

// Where the program `name` is found on PATH.
std::optional<fs::path> program_on_path(const std::string &name);

} // namespace reliability
