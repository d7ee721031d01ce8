#!/usr/bin/env bash
# Scale run: concurrent real-time recordings from the demo station over loopback.
#   bench/scale.sh [SECONDS] [COUNTS...]     (after `make bench`)
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
shift || true
counts=("${@:-10 100 400 800 1200}")
for n in ${counts[@]}; do
    ./build-bench/bench/scale_bench ./build-bench/tools/demostation/orvanta-demo-station "$n" "$seconds" \
        2>/dev/null | grep '^recordings'
done
