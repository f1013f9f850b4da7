#include "platform/file_cache.h"

namespace vorlan::platform {

// Windows has no advice for bytes already read; its cache manages on its own.
void forget_cached_bytes(std::FILE *, std::uint64_t, std::uint64_t) {}

} // namespace vorlan::platform
