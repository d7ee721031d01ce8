#!/usr/bin/env bash
# The installed programs work on their own: cmake --install into a temporary prefix, the
# prefix moved elsewhere and the build folder renamed away, then the installed orvanta-cli
# finds its resources beside itself, runs its start-up script and records the demo station.
#
#   tests/install/install-test.sh BUILD_DIR
set -euo pipefail
cd "$(dirname "$0")/../.."
build=${1:?usage: install-test.sh BUILD_DIR}
build=${build%/}
away="$build.install-test-away"

work=$(mktemp -d)
station_pid=""
cleanup() {
    [ -n "$station_pid" ] && kill "$station_pid" 2>/dev/null || true
    [ -d "$away" ] && [ ! -e "$build" ] && mv "$away" "$build"
    rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "install test: $*" >&2; exit 1; }
. tests/install/demo-station.sh

cmake --install "$build" --prefix "$work/prefix" >/dev/null
mv "$work/prefix" "$work/moved"
prefix="$work/moved"
cli="$prefix/bin/orvanta-cli"
[ -x "$cli" ] || fail "no orvanta-cli under the prefix"
[ -x "$prefix/share/orvanta/Scripts/setAlbumAsCompilation" ] || fail "scripts not installed executable"
[ -x "$prefix/bin/orvanta" ] || fail "no orvanta under the prefix"
panes=$(find "$prefix" -path '*/orvanta/panes/*-pane.so' | wc -l)
[ "$panes" -eq 4 ] || fail "expected the four preset panes under the prefix, found $panes"
# The desktop program's files, valid by the desktop's own checkers.
desktop-file-validate "$prefix/share/applications/orvanta.desktop" ||
    fail "the menu entry is not valid"
appstreamcli validate --no-net "$prefix/share/metainfo/org.orvanta.Orvanta.metainfo.xml" \
    >"$work/appstream.out" 2>&1 || fail "the software-centre data is not valid: $(cat "$work/appstream.out")"
for icon in scalable/apps/orvanta.svg 16x16/apps/orvanta.png 48x48/apps/orvanta.png \
    256x256/apps/orvanta.png; do
    [ -s "$prefix/share/icons/hicolor/$icon" ] || fail "no icon $icon"
done
for page in orvanta.1 orvanta-cli.1; do
    [ -s "$prefix/share/man/man1/$page" ] || fail "no manual page $page"
done
"$prefix/bin/orvanta" --version | grep -q '^orvanta ' || fail "orvanta --version"
# The translations come with it, found beside the moved programs.
LANGUAGE=de "$cli" help | grep -q '^Befehle:' || fail "orvanta-cli does not speak German"
LANGUAGE=de "$prefix/bin/orvanta" --help | grep -qi 'aufruf' || fail "orvanta --help is not German"
# The wake-up helper: the template users' copies are made from, the system copy, and the
# polkit action that names the system copy where it was installed.
for tool in PowerEventToolTemplate PowerEventTool; do
    [ -x "$prefix/libexec/orvanta/$tool" ] || fail "no $tool under the prefix"
done
policy="$prefix/share/polkit-1/actions/org.orvanta.Orvanta.policy"
/usr/bin/python3 -c 'import sys, xml.dom.minidom; xml.dom.minidom.parse(sys.argv[1])' "$policy" ||
    fail "the polkit action is not well-formed XML"
grep -q ">$work/prefix/libexec/orvanta/PowerEventTool<" "$policy" ||
    fail "the polkit action does not name the installed helper: $(grep exec.path "$policy")"
grep -q "Orvanta wants to allow waking this computer for scheduled recordings" "$policy" ||
    fail "the polkit action lacks its message"

# Hardened as distributions build their own: position-independent, relocations read-only
# and bound at start-up, stack canaries, and (optimised builds) checked buffer calls.
optimised=$(grep -q '^CMAKE_BUILD_TYPE:STRING=Debug$' "$build/CMakeCache.txt" && echo no || echo yes)
for program in bin/orvanta bin/orvanta-cli libexec/orvanta/PowerEventToolTemplate \
    libexec/orvanta/PowerEventTool; do
    file="$prefix/$program"
    # Read whole first: grep -q ending early would break readelf's pipe.
    header=$(readelf -h -l -d "$file")
    symbols=$(readelf --dyn-syms -W "$file")
    grep -q 'Type: *DYN' <<<"$header" || fail "$program is not position-independent"
    grep -q GNU_RELRO <<<"$header" || fail "$program has no read-only relocations"
    grep -Eq 'BIND_NOW|FLAGS.*NOW' <<<"$header" || fail "$program is not bound at start-up"
    grep -q __stack_chk_fail <<<"$symbols" || fail "$program has no stack canaries"
    if [ "$optimised" = yes ]; then
        grep -Eq '__[a-z_]+_chk' <<<"$symbols" || fail "$program makes no checked buffer calls"
    fi
done

# With the build folder still in place, an installed program that misses its resources
# never falls back on the checkout's.
mv "$prefix/share/orvanta" "$prefix/share/orvanta.aside"
resources=$("$cli" paths | sed -n 's/^resources *//p')
mv "$prefix/share/orvanta.aside" "$prefix/share/orvanta"
[ "$resources" = "$prefix/share/orvanta" ] ||
    fail "an installed program without its resources looked in '$resources'"

mv "$build" "$away"

home="$work/home"
mkdir -p "$home/Music"
export HOME="$home" XDG_CONFIG_HOME="$home/.config" XDG_DATA_HOME="$home/.local/share"
unset XDG_MUSIC_DIR

resources=$("$cli" paths | sed -n 's/^resources *//p')
[ "$resources" = "$prefix/share/orvanta" ] || fail "resources found at '$resources', not beside the program"
if [ "$(id -u)" -eq 0 ]; then
    # Installed by root, the system copy is valid where the programs were moved to.
    helper=$("$cli" paths | sed -n 's/^wake helper *//p')
    [ "$helper" = "$prefix/libexec/orvanta/PowerEventTool" ] ||
        fail "the installed wake-up helper is not taken: '$helper'"
fi

# The start-up script of the installed copy runs: it removes a day-old leftover of an
# interrupted save.
mkdir -p "$XDG_DATA_HOME/Orvanta"
leftover="$XDG_DATA_HOME/Orvanta/.radiostreams.data.tmp-abcdef"
touch -d '2 days ago' "$leftover"
"$cli" run --for 1 2>/dev/null || fail "orvanta-cli run failed"
[ ! -e "$leftover" ] || fail "the installed start-up script did not run"

# The demo station of the (renamed) build tree, on a free port.
start_demo_station "$away/tools/demostation/orvanta-demo-station" "$work/station.out"

"$cli" defaults downloadpath "$home/Music" >/dev/null
"$cli" add-stream "Demo" "http://127.0.0.1:$port/stream" >/dev/null
output=$("$cli" record "Demo" --for 9 2>"$work/record.err") ||
    fail "orvanta-cli record failed: $(cat "$work/record.err")"
# Without a terminal the status goes out a line per change; the files are the paths.
files=$(grep '^/' <<<"$output" || true)
[ -n "$files" ] || fail "orvanta-cli record printed no file"
while IFS= read -r file; do
    case "$file" in "$home/Music/"*) ;; *) fail "file outside the music folder: $file" ;; esac
    [ -s "$file" ] || fail "missing or empty file: $file"
done <<<"$files"
"$cli" history "Demo" | grep -q "Orvanta Demo - Song" || fail "no titled file in the history"
echo "install test: passed ($(wc -l <<<"$files") files recorded by the installed orvanta-cli)"
