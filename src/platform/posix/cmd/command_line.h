#pragma once
// Reading a command line the way cmd reads it, for the few commands that the
// installer hands to the interpreter.

#include <string>
#include <string_view>
#include <vector>

namespace vorlan::platform::posix {

struct Token {
    enum class Kind { word, special }; // special: an unquoted & | < or >
    Kind kind = Kind::word;
    std::string text;  // quotes and escaping carets removed
    std::string typed; // exactly as it stood in the line
};

// Words split at unquoted blanks; double quotes group and are dropped; an
// unquoted caret takes the next character literally; an unquoted & | < >
// is a token of its own even when nothing separates it from a word.
std::vector<Token> tokenize_command_line(std::string_view line);

struct ParsedCommand {
    enum class Kind { nothing, copy, xcopy, not_recognized, bad_syntax };
    Kind kind = Kind::nothing;
    std::string source;          // copy and xcopy: as written, quotes removed
    std::string destination;     // copy and xcopy
    bool discard_output = false; // a trailing "> NUL"
    std::string name_as_typed;   // the first word, for the complaint about it
};

ParsedCommand parse_command_line(std::string_view line);

} // namespace vorlan::platform::posix
