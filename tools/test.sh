#!/usr/bin/env bash
# Builds everything and runs every suite the machine can run.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
cmake --preset default
cmake --build --preset default
ctest --preset default
