#!/usr/bin/env bash
# Builds everything and runs every suite the machine can run.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
cmake --preset default
cmake --build --preset default
ctest --preset default
# Suites that need tools a new machine may lack are skipped, visibly, where
# they are missing; .ci/run installs them all.
have() { command -v "$1" >/dev/null; }

# Sanitizers and fuzzers; the kill test ("crash") is in the run above.
bash tools/test-reliability.sh
# The benchmark on small data: only that it runs and the results agree.
if ! have hyperfine || ! have valgrind || ! have rsync || [[ ! -x /usr/bin/time ]]; then
    echo "SKIPPED: benchmark smoke run (packages hyperfine, time, valgrind, rsync)"
else
    timeout 600 bash bench/run.sh --smoke --callgrind
fi

# The Windows build, proven under Wine, where the machine has both.
source tools/wine.sh
wine=$(wine_loader)
if ! command -v x86_64-w64-mingw32-g++-posix >/dev/null; then
    echo "SKIPPED: Windows suite (no x86_64-w64-mingw32-g++-posix: package g++-mingw-w64-x86-64-posix)"
elif [[ ! -x $wine ]]; then
    echo "SKIPPED: Windows suite (no Wine loader at $wine: package wine64)"
else
    bash tools/test-windows.sh
fi
