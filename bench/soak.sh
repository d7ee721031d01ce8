#!/usr/bin/env bash
# Soak run: 200 recordings of the demo station at 30 times real time for five minutes (two
# and a half hours of audio each), sampling the recorder every 15 s.
#   bench/soak.sh [N] [SECONDS] [SPEED] [SAMPLE_SECONDS]     (after `make bench`)
set -euo pipefail
cd "$(dirname "$0")/.."
ulimit -n 8192 2>/dev/null || true
./build-bench/bench/soak_bench ./build-bench/tools/demostation/orvanta-demo-station \
    "${1:-200}" "${2:-300}" "${3:-30}" "${4:-15}" 2>/dev/null
