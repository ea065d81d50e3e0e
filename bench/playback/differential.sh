#!/usr/bin/env bash
# A start in time against the whole playback, over the public corpus of test files.
# Usage: bench/playback/differential.sh [build-dir]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
python3 "$here/differential.py" "$(realpath "${1:-$here/../../build}")/bin/tez" \
    "$here/../../tests/playback/corpus"
