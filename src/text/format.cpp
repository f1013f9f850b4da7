#include "text/format.h"

namespace vorlan::text {

std::string format(std::string_view pattern, std::initializer_list<std::string_view> arguments) {
    std::string result;
    auto next_argument = arguments.begin();
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] == '%' && i + 1 < pattern.size()) {
            if (pattern[i + 1] == 's' && next_argument != arguments.end()) {
                result += *next_argument++;
                ++i;
                continue;
            }
            if (pattern[i + 1] == '%') {
                result += '%';
                ++i;
                continue;
            }
        }
        result += pattern[i];
    }
    return result;
}

} // namespace vorlan::text
