#!/usr/bin/env bash
# Formats run: 20 recordings each of the demo station as MP3, AAC, HLS (AAC in transport
# streams), Ogg Vorbis and Ogg Opus at
# ten times real time for a minute, side by side: the recorder's CPU seconds per hour of audio
# and its resident memory per recording.
#   bench/formats.sh [N] [SECONDS] [SPEED]     (after `make bench`)
set -euo pipefail
cd "$(dirname "$0")/.."
ulimit -n 8192 2>/dev/null || true
./build-bench/bench/formats_bench ./build-bench/tools/demostation/orvanta-demo-station \
    "${1:-20}" "${2:-60}" "${3:-10}" 2>/dev/null
