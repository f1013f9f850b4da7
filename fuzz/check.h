#pragma once
// A broken property aborts, which libFuzzer reports with the input.

#include <cstdio>
#include <cstdlib>
#include <string>

namespace vorlan::fuzz {

[[noreturn]] inline void broken(const std::string &property) {
    std::fprintf(stderr, "broken: %s\n", property.c_str());
    std::fflush(stderr);
    std::abort();
}

inline void check(bool holds, const std::string &property) {
    if (!holds) {
        broken(property);
    }
}

} // namespace vorlan::fuzz
