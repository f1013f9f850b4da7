#include "platform/console.h"

namespace vorlan::platform {

// POSIX never translates standard input.
void prepare_console() {}

} // namespace vorlan::platform
