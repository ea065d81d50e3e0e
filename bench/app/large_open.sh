#!/usr/bin/env bash
# Opening scores of 100 000 and 1 000 000 lines in the window (offscreen): time to the first
# lines shown, to the whole score shown and converted, the longest time the window did not
# answer, and peak memory. Usage: large_open.sh <build-dir>
set -euo pipefail
bench=$1/bin/large_open
if [ ! -x "$bench" ]; then
    echo "skipped: $bench is not built (the window is built with TEZ_BUILD_APP=ON)"
    exit 0
fi
for lines in 100000 1000000; do
    "$bench" "$lines" 2>/dev/null | grep '^open'
done
