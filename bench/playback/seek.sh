#!/usr/bin/env bash
# Starting a playback anywhere in a 1,000,000-note file, against a replay from its start.
# Usage: bench/playback/seek.sh [build-dir]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
"$(realpath "${1:-$here/../../build}")/bin/seek_bench"
