#!/usr/bin/env bash
# How soon a save of a 10,000-line score is heard under `tez play --watch`.
# Usage: bench/playback/watch.sh [build-dir]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
"$(realpath "${1:-$here/../../build}")/bin/watch_bench" 2>/dev/null
