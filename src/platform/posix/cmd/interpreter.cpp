#include "platform/posix/cmd/interpreter.h"

#include "platform/posix/cmd/messages.h"
#include "platform/posix/file_descriptor.h"
#include "platform/posix/temporary.h"

namespace vorlan::platform::posix {
namespace {

// Raised where a copy starts, never inside a query: each waiting copy holds a descriptor.
std::size_t most_waiting_copies() {
    return PublishBatch::files_allowed(raise_descriptor_limit());
}

} // namespace

int run_parsed_command(const ParsedCommand &command, std::FILE *out, std::FILE *err) {
    const CommandOutput output(out, err, command.discard_output);
    switch (command.kind) {
    case ParsedCommand::Kind::nothing:
        return 0;
    case ParsedCommand::Kind::copy:
        return run_copy(command, output, most_waiting_copies());
    case ParsedCommand::Kind::xcopy:
        return run_xcopy(command, output, most_waiting_copies());
    case ParsedCommand::Kind::not_recognized:
        output.complain(cmd_says::not_recognized(command.name_as_typed));
        return 1;
    case ParsedCommand::Kind::bad_syntax:
        output.complain(cmd_says::bad_syntax);
        return 1;
    }
    return 1;
}

int finish(const CommandOutput &output, std::string_view complaint, std::string_view count_line) {
    if (!complaint.empty()) {
        output.complain(complaint);
    }
    output.say(count_line);
    return complaint.empty() ? 0 : 1;
}

} // namespace vorlan::platform::posix
