#!/usr/bin/env bash
# Builds the libFuzzer targets (preset "fuzz", clang) and runs each one for a
# bounded time from its seed corpus in fuzz/corpus. New inputs go to a scratch
# corpus under build/fuzz, so the repository's seeds stay small; a finding is
# written to build/fuzz/findings and fails the script.
#   VORLAN_FUZZ_SECONDS  time per target (default 60)
#   VORLAN_FUZZ_TARGETS  which targets (default: all)
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
seconds=${VORLAN_FUZZ_SECONDS:-60}
targets=${VORLAN_FUZZ_TARGETS:-text_filter command_line host_path}

cmake --preset fuzz
cmake --build --preset fuzz --target vorlan_fuzzers

findings="$top/build/fuzz/findings"
mkdir -p "$findings"
status=0
for target in $targets; do
    corpus="$top/build/fuzz/corpus/$target"
    mkdir -p "$corpus"
    echo "fuzzing $target for ${seconds}s"
    # The fuzzers change directory, so every path they get is absolute.
    if ! timeout --kill-after=30 $((seconds + 120)) \
        "$top/build/fuzz/fuzz/fuzz_$target" -max_total_time="$seconds" -timeout=20 \
        -rss_limit_mb=4096 -print_final_stats=1 -artifact_prefix="$findings/$target-" \
        "$corpus" "$top/fuzz/corpus/$target" >"$top/build/fuzz/$target.log" 2>&1; then
        echo "fuzz_$target FAILED; its log:"
        tail -n 60 "$top/build/fuzz/$target.log"
        status=1
    else
        grep -E '^stat::number_of_executed_units|^stat::peak_rss_mb' "$top/build/fuzz/$target.log" |
            sed "s/^/  $target /"
    fi
done
if ((status == 0)); then
    echo "fuzzing: ${seconds}s each, no finding"
fi
exit "$status"
