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
# libFuzzer's runtime as the installed clang finds it, whatever its version
# and however its runtimes are laid out.
has_fuzzer_runtime() {
    local name found
    command -v clang++ >/dev/null || return 1
    for name in libclang_rt.fuzzer-x86_64.a libclang_rt.fuzzer.a; do
        found=$(clang++ -print-file-name="$name")
        [[ $found == /* && -f $found ]] && return 0
    done
    compgen -G "$(clang++ -print-runtime-dir)/libclang_rt.fuzzer*.a" >/dev/null
}
if ! has_fuzzer_runtime; then
    echo "SKIPPED: fuzz targets (no clang with libFuzzer: packages clang and its libclang-rt-<version>-dev)"
    exit 0
fi
bash tools/fuzz.sh
