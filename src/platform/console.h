#pragma once

#include <string>
#include <string_view>

namespace vorlan::platform {

// Reads one line of standard input without its line end (a CR before the LF
// is dropped). False when the input ended before a single character.
bool read_line(std::string &line);
// Text written here uses the platform's own line end for '\n'.
void write(std::string_view text);
void flush();

// Puts standard input into byte mode where the platform would translate it.
void prepare_console();

} // namespace vorlan::platform
