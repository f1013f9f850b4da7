#pragma once

#include <optional>
#include <string>

namespace vorlan::dialogue {

// One line of standard input without its line end; the end of input before
// the first character gives an empty answer.
std::string read_answer();

void show_banner();

// False when the user declined; the abort message has been shown then.
bool ask_confirmation();

struct DirectoryQuestion {
    const char *intro;
    const char *prompt_format; // "%s" takes the default
    const char *default_directory;
};

// The answer as typed, or the default for an empty one.
std::string ask_directory(const DirectoryQuestion &question);

// Waits for one more line, or the end of input.
void completion_prompt();

} // namespace vorlan::dialogue
