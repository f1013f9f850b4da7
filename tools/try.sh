#!/usr/bin/env bash
# Builds the installer and runs it, interactively, on a fresh sample machine.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
cmake --preset default >/dev/null
cmake --build --preset default --target vorlan-setup >/dev/null
rm -rf sample
bash tools/make-sample.sh sample
touch sample/.before-run
(cd sample/dist && WINEPREFIX="$top/sample/prefix" "$top/build/default/vorlan-setup") || true
echo
echo "Drive C of the sample machine is $top/sample/prefix/drive_c; what the installer wrote:"
# Copies keep their source's modification time, so look at the change time.
(cd sample/prefix/drive_c && find . -type f -cnewer "$top/sample/.before-run" | sort)
