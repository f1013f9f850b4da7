#pragma once
// Copying one file, byte for byte, the way the copy commands need it: the
// file reaches its name whole and synced, whether it is new or replaces one.

#include "platform/posix/cmd/messages.h"
#include "platform/posix/file_at.h"
#include "platform/posix/temporary.h"

#include <cstddef>

namespace vorlan::platform::posix {

// The compare of a target with its source reads this much of each first: a
// file that changed mostly differs early.
inline constexpr std::size_t first_compared_bytes = std::size_t{1} << 16;

enum class TargetLookup {
    look_up,
    // The caller has just seen the directory without it; the batch finds
    // out if the name is taken meanwhile.
    known_absent,
};

// Puts the bytes of the regular file `source` at `target`. A target that
// exists (found through any chain of symbolic links, which stay as they are)
// and already holds those bytes is left as it is; one that lacks the
// owner-write bit is read-only and left alone. Otherwise the copy waits in
// `batch` (temporary.h): until the batch is published the target keeps what
// it had, and then it holds the whole new file, synced.
CmdError copy_file_to(const FileAt &source, const FileAt &target, TargetLookup lookup,
                      PublishBatch &batch);

} // namespace vorlan::platform::posix
