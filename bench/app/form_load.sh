#!/usr/bin/env bash
# Open on scores of 1000, 100 000 and 1 000 000 lines: the text pass, the conversion
# and the whole command on the offscreen window. Usage: form_load.sh <build-dir>
set -euo pipefail
bench=$1/bin/form_load_bench
if [ ! -x "$bench" ]; then
    echo "skipped: $bench is not built (the window is built with TEZ_BUILD_APP=ON)"
    exit 0
fi
"$bench" --benchmark_min_time=0.2 2>/dev/null
