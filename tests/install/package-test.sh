#!/usr/bin/env bash
# The Debian package: built from the build tree, installed on this machine with apt-get,
# used from /usr/bin (orvanta-cli records the demo station), then removed again. It needs
# root (CI runs as root); elsewhere it says so and does nothing.
#
#   tests/install/package-test.sh BUILD_DIR
set -euo pipefail
cd "$(dirname "$0")/../.."
build=$(cd "${1:?usage: package-test.sh BUILD_DIR}" && pwd)
if [ "$(id -u)" -ne 0 ] || ! command -v apt-get >/dev/null; then
    echo "package test: skipped (needs root and apt-get)"
    exit 0
fi
if dpkg-query -W -f='${Status}' orvanta 2>/dev/null | grep -q "install ok installed"; then
    echo "package test: skipped (an orvanta package is installed already; not touching it)"
    exit 0
fi

work=$(mktemp -d)
station_pid=""
installed=""
cleanup() {
    [ -n "$station_pid" ] && kill "$station_pid" 2>/dev/null || true
    if [ -n "$installed" ]; then
        DEBIAN_FRONTEND=noninteractive apt-get remove -y -q --purge orvanta >/dev/null 2>&1 || true
    fi
    rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "package test: $*" >&2; exit 1; }
. tests/install/demo-station.sh

(cd "$work" && cpack --config "$build/CPackConfig.cmake" -G DEB >"$work/cpack.out" 2>&1) ||
    fail "cpack failed: $(cat "$work/cpack.out")"
package=$(ls "$work"/orvanta_*.deb)
size=$(du -k "$package" | cut -f1)
depends=$(dpkg-deb -f "$package" Depends)
[ "$(dpkg-deb -c "$package" | grep -c '/orvanta/panes/.*-pane\.so$')" -eq 4 ] ||
    fail "the package lacks the four preset panes"
echo "package test: $(basename "$package"), ${size} KiB"
echo "package test: Depends: $depends"
dpkg-deb -f "$package" Recommends | grep -q pkexec || fail "the package does not recommend pkexec"

DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "$package" \
    >"$work/apt.out" 2>&1 || fail "apt-get install failed: $(tail -20 "$work/apt.out")"
installed=yes
[ -x /usr/bin/orvanta ] && [ -x /usr/bin/orvanta-cli ] || fail "programs not in /usr/bin"
[ -f /usr/share/applications/orvanta.desktop ] || fail "no menu entry"

home="$work/home"
mkdir -p "$home/Music"
export HOME="$home" XDG_CONFIG_HOME="$home/.config" XDG_DATA_HOME="$home/.local/share"
resources=$(/usr/bin/orvanta-cli paths | sed -n 's/^resources *//p')
[ "$resources" = /usr/share/orvanta ] || fail "resources found at '$resources'"
# The package's wake-up helper is root's and taken as valid; its polkit action names it.
[ "$(stat -c '%U %a' /usr/libexec/orvanta/PowerEventTool)" = "root 755" ] ||
    fail "the system wake-up helper is not root's with mode 755"
helper=$(/usr/bin/orvanta-cli paths | sed -n 's/^wake helper *//p')
[ "$helper" = /usr/libexec/orvanta/PowerEventTool ] || fail "the wake-up helper is not taken: '$helper'"
grep -q '>/usr/libexec/orvanta/PowerEventTool<' /usr/share/polkit-1/actions/org.orvanta.Orvanta.policy ||
    fail "the polkit action does not name the packaged helper"

start_demo_station "$build/tools/demostation/orvanta-demo-station" "$work/station.out"
/usr/bin/orvanta-cli defaults downloadpath "$home/Music" >/dev/null
output=$(/usr/bin/orvanta-cli record "http://127.0.0.1:$port/stream" --for 8 2>"$work/record.err") ||
    fail "orvanta-cli record failed: $(cat "$work/record.err")"
files=$(grep '^/' <<<"$output" || true)
[ -n "$files" ] || fail "no file recorded"

DEBIAN_FRONTEND=noninteractive apt-get remove -y -q --purge orvanta >/dev/null 2>&1 ||
    fail "apt-get remove failed"
installed=""
[ ! -e /usr/bin/orvanta-cli ] || fail "orvanta-cli left after removal"
echo "package test: passed ($(wc -l <<<"$files") files recorded from /usr/bin, package removed)"
