#!/usr/bin/env bash
# The window's figures: start-up with 10,000 stations, the longest main-thread stall while
# 100 recordings run, the idle window's memory. (after `make bench`)
#   bench/window.sh [RECORDINGS] [SECONDS]
set -euo pipefail
cd "$(dirname "$0")/.."
b=./build-bench
"$b/bench/window_bench" startup 10000 2>/dev/null | grep '^startup'
"$b/bench/window_bench" idle 2>/dev/null | grep '^idle'
"$b/bench/window_bench" stall "$b/tools/demostation/orvanta-demo-station" "${1:-100}" "${2:-30}" \
    2>/dev/null | grep '^stall'
