#!/usr/bin/env bash
# Play/Stop latency on a timing device with the window's real 100 ms handshake.
# Usage: stop_latency.sh <build-dir>
set -euo pipefail
"$1/bin/stop_latency"
