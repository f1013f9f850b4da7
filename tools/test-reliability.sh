#!/usr/bin/env bash
# What tools/test.sh adds to the default build's suites for reliability: every
# unit and end-to-end test again, built with AddressSanitizer and
# UndefinedBehaviorSanitizer, then with ThreadSanitizer, then each fuzzer for
# a bounded time.
# The test that kills runs in the middle of a replace (ctest entry "crash")
# runs in the default build only: unoptimized and sanitized, a run spends
# nearly all its time filtering lines, and the kills would miss the replace.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
cmake --preset sanitize
cmake --build --preset sanitize
ctest --preset sanitize --label-exclude crash
# The copy commands publish a batch on a second thread: the same suites again
# under ThreadSanitizer, which stops a run at its first report.
cmake --preset thread
cmake --build --preset thread
ctest --preset thread --label-exclude crash
if ! command -v clang++ >/dev/null ||
    ! compgen -G "/usr/lib/llvm-*/lib/clang/*/lib/linux/libclang_rt.fuzzer-x86_64.a" >/dev/null; then
    echo "SKIPPED: fuzz targets (no clang with libFuzzer: packages clang, libclang-rt-14-dev)"
    exit 0
fi
bash tools/fuzz.sh
