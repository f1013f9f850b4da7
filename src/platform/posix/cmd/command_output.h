#pragma once
// Where a command's output goes. The interpreter writes with C stdio, as the
// rest of the program does, so that its lines fall between the program's own.

#include <cstdio>
#include <string_view>

namespace vorlan::platform::posix {

class CommandOutput {
  public:
    CommandOutput(std::FILE *out, std::FILE *err, bool discard_normal_output)
        : out_(out), err_(err), discard_(discard_normal_output) {}

    // A line of normal output; a trailing "> NUL" swallows it.
    void say(std::string_view line) const {
        if (!discard_) {
            write_line(out_, line);
        }
    }

    // Complaints are never swallowed; what was said before must show first.
    void complain(std::string_view line) const {
        std::fflush(out_);
        write_line(err_, line);
        std::fflush(err_);
    }

  private:
    static void write_line(std::FILE *stream, std::string_view line) {
        std::fwrite(line.data(), 1, line.size(), stream);
        std::fputc('\n', stream);
    }

    std::FILE *out_;
    std::FILE *err_;
    bool discard_;
};

} // namespace vorlan::platform::posix
