#include "platform/posix/cmd/wildcard.h"

#include "platform/posix/ascii.h"

namespace vorlan::platform::posix {
namespace {

// Backtracks only to the latest '*', which keeps the cost at
// pattern length times name length whatever the pattern.
bool glob_matches(std::string_view pattern, std::string_view name) {
    constexpr std::size_t none = std::string_view::npos;
    std::size_t p = 0;
    std::size_t n = 0;
    std::size_t star = none;
    std::size_t star_name = 0;
    while (n < name.size()) {
        if (p < pattern.size() &&
            (pattern[p] == '?' || ascii_lower(pattern[p]) == ascii_lower(name[n]))) {
            ++p;
            ++n;
        } else if (p < pattern.size() && pattern[p] == '*') {
            star = p++;
            star_name = n;
        } else if (star != none) {
            p = star + 1;
            n = ++star_name;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*') {
        ++p;
    }
    return p == pattern.size();
}

} // namespace

bool has_wildcard(std::string_view text) {
    return text.find_first_of("*?") != std::string_view::npos;
}

bool wildcard_matches(std::string_view pattern, std::string_view name) {
    if (glob_matches(pattern, name)) {
        return true;
    }
    constexpr std::string_view any_extension = ".*";
    if (pattern.size() >= any_extension.size() && pattern.ends_with(any_extension)) {
        return glob_matches(pattern.substr(0, pattern.size() - any_extension.size()), name);
    }
    return false;
}

} // namespace vorlan::platform::posix
