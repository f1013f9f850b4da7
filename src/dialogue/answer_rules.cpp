#include "dialogue/answer_rules.h"

namespace vorlan::dialogue {
namespace {

constexpr std::string_view forbidden_characters = "\"*?<>|";

bool is_printable_ascii(char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte >= 0x20 && byte < 0x7f;
}

} // namespace

bool holds_forbidden_path_character(std::string_view answer) {
    for (const char c : answer) {
        if (!is_printable_ascii(c) || forbidden_characters.find(c) != std::string_view::npos) {
            return true;
        }
    }
    return false;
}

bool holds_variable_reference(std::string_view answer) {
    // A "%", at least one character that is not "%", then another "%".
    const auto opening = answer.find('%');
    if (opening == std::string_view::npos) {
        return false;
    }
    for (std::size_t i = opening + 1; i < answer.size(); ++i) {
        if (answer[i] != '%') {
            return answer.find('%', i + 1) != std::string_view::npos;
        }
    }
    return false;
}

} // namespace vorlan::dialogue
