#!/usr/bin/env bash
# The pane plug-ins link Qt and nothing of Orvanta: no Orvanta library among their needed
# libraries, and no Orvanta code inside them but the pane interface they implement.
#   pane-link-test.sh PANE.so...
set -euo pipefail
fail() { echo "FAIL: $*" >&2; exit 1; }
[ $# -eq 4 ] || fail "expected the four panes, got $#"
for pane in "$@"; do
    [ -f "$pane" ] || fail "$pane is missing"
    needed=$(readelf -d "$pane" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p')
    grep -q '^libQt6Widgets' <<<"$needed" || fail "$pane does not link Qt Widgets: $needed"
    if grep -qi 'orvanta' <<<"$needed"; then fail "$pane needs an Orvanta library: $needed"; fi
    # Symbols of the program's namespace, other than the interface itself.
    own=$(nm -C --defined-only "$pane" | grep -o 'orvanta::[A-Za-z_:]*' | grep -v '^orvanta::PresetPane' | sort -u || true)
    [ -z "$own" ] || fail "$pane holds Orvanta code: $own"
    echo "$(basename "$pane"): $(tr '\n' ' ' <<<"$needed")"
done
