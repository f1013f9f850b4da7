#pragma once
// Advice to the system's file cache, which it is free to ignore.

#include <cstdint>
#include <cstdio>

namespace vorlan::platform {

// The bytes [offset, offset + length) of an open file will not be read again:
// their cached copies may go now rather than push out something useful.
void forget_cached_bytes(std::FILE *file, std::uint64_t offset, std::uint64_t length);

} // namespace vorlan::platform
