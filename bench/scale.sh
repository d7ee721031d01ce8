#!/usr/bin/env bash
# Scale run: concurrent real-time recordings from the demo station over loopback.
#   bench/scale.sh [SECONDS] [COUNTS...]     (after `make bench`)
# SONG_SECONDS (default 180) sets how often titles change, SEARCH_SECONDS (default 8) how far
# around each change the split looks for the gap.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
shift || true
counts=("${@:-10 100 400 800 1200}")
for n in ${counts[@]}; do
    ./build-bench/bench/scale_bench ./build-bench/tools/demostation/orvanta-demo-station "$n" "$seconds" \
        "${SONG_SECONDS:-180}" "${SEARCH_SECONDS:-8}" \
        2>/dev/null | grep '^recordings'
done
