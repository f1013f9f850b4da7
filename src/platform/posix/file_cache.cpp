#include "platform/file_cache.h"

#include <fcntl.h>

namespace vorlan::platform {

void forget_cached_bytes(std::FILE *file, std::uint64_t offset, std::uint64_t length) {
    if (length > 0) {
        static_cast<void>(::posix_fadvise(::fileno(file), static_cast<off_t>(offset),
                                          static_cast<off_t>(length), POSIX_FADV_DONTNEED));
    }
}

} // namespace vorlan::platform
