#pragma once
// File name patterns as cmd's copy and xcopy match them.

#include <string_view>

namespace vorlan::platform::posix {

bool has_wildcard(std::string_view text);

// '*' stands for any run of characters, '?' for exactly one, letters match
// either case (ASCII). As on Windows, a pattern ending in ".*" also matches
// names that lack that dot and extension, so "*.*" matches every name.
bool wildcard_matches(std::string_view pattern, std::string_view name);

} // namespace vorlan::platform::posix
