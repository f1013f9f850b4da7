#pragma once
// Windows compares file and command names without regard to case, but only
// for ASCII letters as far as this program is concerned; locale must not
// change that, so none of <cctype> is used.

#include <string>
#include <string_view>

namespace vorlan::platform::posix {

constexpr char ascii_lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c;
}

constexpr bool ascii_iequal(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (ascii_lower(a[i]) != ascii_lower(b[i])) {
            return false;
        }
    }
    return true;
}

inline std::string ascii_lowered(std::string_view text) {
    std::string lowered(text);
    for (char &c : lowered) {
        c = ascii_lower(c);
    }
    return lowered;
}

// Case-insensitive order; names equal but for case fall back to byte order so
// that sorting is total and the same on every run.
constexpr bool ascii_iless(std::string_view a, std::string_view b) {
    const std::size_t common = a.size() < b.size() ? a.size() : b.size();
    for (std::size_t i = 0; i < common; ++i) {
        const auto la = static_cast<unsigned char>(ascii_lower(a[i]));
        const auto lb = static_cast<unsigned char>(ascii_lower(b[i]));
        if (la != lb) {
            return la < lb;
        }
    }
    if (a.size() != b.size()) {
        return a.size() < b.size();
    }
    return a < b;
}

} // namespace vorlan::platform::posix
