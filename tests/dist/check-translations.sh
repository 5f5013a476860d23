#!/bin/sh
# Builds the translation template (lupdate over src/) and checks that lupdate
# took every text without a complaint (about a tr() it cannot place) and that
# the template holds the texts of the windows.
# Usage: check-translations.sh BUILD_DIR
set -eu
build=$1
log=$(mktemp "${TMPDIR:-/tmp}/pagewick-lupdate.XXXXXX")
trap 'rm -f "$log"' EXIT
cmake --build "$build" --target translations-template >"$log" 2>&1 || {
    cat "$log" >&2
    echo "check-translations.sh: the template could not be built" >&2
    exit 1
}
# lupdate runs silent: any line that is not the build tool's own is a complaint
# ("Class 'X' lacks Q_OBJECT macro", "tr() cannot be called without context").
if grep -v -e '^\[[ 0-9/%]*\]' -e 'Built target' -e '^g\?make' "$log" | grep -q .; then
    cat "$log" >&2
    echo "check-translations.sh: lupdate complained" >&2
    exit 1
fi
template=$build/translations/pagewick.ts
count=$(grep -c '<source>' "$template" || true)
contexts=$(grep -c '<name>' "$template" || true)
echo "check-translations.sh: $count texts in $contexts windows and commands"
[ "$count" -ge 200 ] && [ "$contexts" -ge 10 ] || {
    echo "check-translations.sh: too few texts in the template" >&2
    exit 1
}
