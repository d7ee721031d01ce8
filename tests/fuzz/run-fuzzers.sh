#!/usr/bin/env bash
# Runs every libFuzzer harness of a fuzz build for SECONDS each, two at a time, on a
# working corpus that starts from the seeds in tests/fuzz/corpus; prints libFuzzer's final
# statistics and adds each run's executions to BUILD/fuzz-executions.log.
#   run-fuzzers.sh BUILD SECONDS [HARNESS...]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:?usage: run-fuzzers.sh BUILD SECONDS [HARNESS...]}" && pwd)
seconds=${2:?usage: run-fuzzers.sh BUILD SECONDS [HARNESS...]}
shift 2
if [ "$#" -gt 0 ]; then
    harnesses=("$@")
else
    mapfile -t harnesses < <(cd "$here/corpus" && ls)
fi
mkdir -p "$build/fuzz-corpus" "$build/fuzz-artifacts" "$build/fuzz-logs"

run_one() {
    local name=$1 build=$2 seconds=$3 here=$4
    local corpus="$build/fuzz-corpus/$name" log="$build/fuzz-logs/$name.log"
    mkdir -p "$corpus"
    local status=0
    "$build/tests/fuzz/fuzz_$name" -max_total_time="$seconds" -print_final_stats=1 \
        -rss_limit_mb=2048 -timeout=10 -artifact_prefix="$build/fuzz-artifacts/$name-" \
        "$corpus" "$here/corpus/$name" >"$log" 2>&1 || status=$?
    local runs
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
    echo "$(date -u +%FT%TZ) $name ${runs:-0}" >>"$build/fuzz-executions.log"
    echo "== $name: ${runs:-0} executions in ${seconds}s, exit $status"
    grep '^stat::' "$log" | sed 's/^/   /'
    if [ "$status" -ne 0 ]; then
        grep -E 'ERROR|SUMMARY|Test unit written|check failed' "$log" | head -8 | sed 's/^/   /'
        return 1
    fi
}
export -f run_one
failed=0
printf '%s\n' "${harnesses[@]}" |
    xargs -P 2 -I{} bash -c 'run_one "$@"' _ {} "$build" "$seconds" "$here" || failed=1
echo "executions so far, per harness (all runs in $build/fuzz-executions.log):"
awk '{ total[$2] += $3 } END { for (h in total) printf "   %-16s %d\n", h, total[h] }' \
    "$build/fuzz-executions.log" | sort
exit "$failed"
