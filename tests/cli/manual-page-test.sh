#!/usr/bin/env bash
# The manual page of orvanta-cli lists exactly the commands of its help, with the same
# synopses, and every command answers --help with its own synopsis.
#   manual-page-test.sh CLI MANUAL-PAGE
set -euo pipefail
cli=$1
page=$2
fail() { echo "FAIL: $*" >&2; exit 1; }

# Command entries of the page: the line after each .TP in the COMMANDS section, unescaped.
from_page=$(awk '/^\.SH COMMANDS/{on=1; next} /^\.SH/{on=0} on && prev==".TP" {print} {prev=$0}' "$page" |
    sed -e 's/^\.B //' -e 's/\\-/-/g')
# Synopses of the help: indented by two spaces, descriptions by six.
from_help=$("$cli" help | grep -E '^  [^ ]' | sed 's/^  //')

[ -n "$from_help" ] || fail "orvanta-cli help lists no commands"
if [ "$from_page" != "$from_help" ]; then
    diff <(echo "$from_help") <(echo "$from_page") >&2 || true
    fail "the manual page and orvanta-cli help list different commands (help <, page >)"
fi

while read -r synopsis; do
    command=${synopsis%% *}
    own=$("$cli" "$command" --help) || fail "orvanta-cli $command --help failed"
    grep -qxF "usage: orvanta-cli $synopsis" <<<"$own" ||
        fail "orvanta-cli $command --help does not show \"$synopsis\": $own"
done <<<"$from_help"
echo "manual page: $(wc -l <<<"$from_help") commands in step"
