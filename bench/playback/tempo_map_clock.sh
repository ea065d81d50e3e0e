#!/usr/bin/env bash
# The player's clock against the exact times of generated tempo maps.
# Usage: bench/playback/tempo_map_clock.sh [build-dir]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
python3 "$here/tempo_map_clock.py" "${1:-$here/../../build}/bin/tez" 100
