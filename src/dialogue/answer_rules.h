#pragma once

#include <string_view>

namespace vorlan::dialogue {

// Characters no Windows path can hold would break the command lines and
// files composed from the answer. So would a letter outside printable ASCII:
// Apache, mod_jk, cmd and regedit do not read their files in one encoding,
// so no spelling of it reaches them all.
bool holds_forbidden_path_character(std::string_view answer);

// cmd replaces %NAME% inside a command line, quotes or not, so a directory
// that reaches a copy command must not hold that shape.
bool holds_variable_reference(std::string_view answer);

} // namespace vorlan::dialogue
