#include "platform/console.h"

#include <fcntl.h>
#include <io.h>

#include <cstdio>

namespace vorlan::platform {

// Text mode would end the input at a Ctrl-Z and fold line ends before we see
// them; both builds must read the same answers from the same bytes.
void prepare_console() {
    _setmode(_fileno(stdin), _O_BINARY);
}

} // namespace vorlan::platform
