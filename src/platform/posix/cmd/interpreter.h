#pragma once
// The in-process stand-in for cmd: it carries out the copy and xcopy command
// lines the installer issues, and nothing else, without starting any process.

#include "platform/posix/cmd/command_line.h"
#include "platform/posix/cmd/command_output.h"

#include <cstddef>
#include <cstdio>
#include <string_view>

namespace vorlan::platform::posix {

// Runs a parsed command line with its normal output to `out` and complaints
// to `err`; the exit status cmd would give (0 for success, otherwise 1).
int run_parsed_command(const ParsedCommand &command, std::FILE *out, std::FILE *err);

// `most_waiting`: how many copies may wait in a batch (PublishBatch::files_allowed).
int run_copy(const ParsedCommand &command, const CommandOutput &output, std::size_t most_waiting);
int run_xcopy(const ParsedCommand &command, const CommandOutput &output, std::size_t most_waiting);

// Ends a copy command: its complaint, if any, then the line that counts the
// files; the exit status follows from the complaint.
int finish(const CommandOutput &output, std::string_view complaint, std::string_view count_line);

} // namespace vorlan::platform::posix
