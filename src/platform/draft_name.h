#pragma once
// The names of the installer's temporaries, on every system: a fixed prefix
// and a random part, so that a run can tell its own leftovers from anything
// else in a folder.

#include <cstdint>
#include <string>
#include <string_view>

namespace vorlan::platform {

// Every temporary of ours begins so, and nothing else of ours does.
inline constexpr std::string_view draft_prefix = ".vorlan-copy-";

// A new name; `process` tells apart two processes whose other sources of
// chance agree. Nothing is kept between calls.
std::string new_draft_name(std::uint64_t process);

// True when `name` could have come from new_draft_name.
bool is_draft_name(std::string_view name);

} // namespace vorlan::platform
