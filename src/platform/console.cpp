#include "platform/console.h"

#include <cstdio>

namespace vorlan::platform {

bool read_line(std::string &line) {
    line.clear();
    int c = std::getchar();
    if (c == EOF) {
        return false;
    }
    while (c != EOF && c != '\n') {
        line.push_back(static_cast<char>(c));
        c = std::getchar();
    }
    if (c == '\n' && !line.empty() && line.back() == '\r') {
        line.pop_back();
    }
    return true;
}

void write(std::string_view text) {
    std::fwrite(text.data(), 1, text.size(), stdout);
}

void flush() {
    std::fflush(stdout);
}

} // namespace vorlan::platform
