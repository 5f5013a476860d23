#!/bin/sh
# Installs Pagewick from the build folder into a scratch prefix, as a user or
# a package would, and checks what a desktop sees of it: the launcher and the
# metadata pass their validators, the launcher's command runs, the manual
# page renders without warnings and documents every command and option of
# `pagewick --help` and every PAGEWICK_* variable the program reads.
# Usage: check-install.sh BUILD_DIR SOURCE_DIR APP_ID VERSION
set -eu
build=$1 source=$2 id=$3 version=$4
scratch=$(mktemp -d "${TMPDIR:-/tmp}/pagewick-install.XXXXXX")
trap 'rm -rf "$scratch"' EXIT
fail() {
    echo "check-install.sh: $*" >&2
    exit 1
}
prefix=$scratch/prefix
cmake --install "$build" --prefix "$prefix" >"$scratch/install.log" || {
    cat "$scratch/install.log" >&2
    fail "cmake --install failed"
}

share=$prefix/share
desktop=$share/applications/$id.desktop
metainfo=$share/metainfo/$id.metainfo.xml
manual=$share/man/man1/pagewick.1
for f in "$prefix/bin/pagewick" "$desktop" "$metainfo" "$manual" \
    "$share/icons/hicolor/scalable/apps/$id.svg"; do
    [ -f "$f" ] || fail "not installed: ${f#"$prefix"/}"
done

desktop-file-validate "$desktop" || fail "the launcher does not validate"
# Any remark of the validator, even a pedantic one, fails the check.
if ! appstreamcli validate --no-net --pedantic "$metainfo" >"$scratch/appstream.log" 2>&1 ||
    grep -q '^[EWIP]:' "$scratch/appstream.log"; then
    cat "$scratch/appstream.log" >&2
    fail "the metadata does not validate"
fi
grep -q "<release version=\"$version\"" "$metainfo" || fail "the metadata has no release $version"
grep -q "<launchable type=\"desktop-id\">$id.desktop</launchable>" "$metainfo" ||
    fail "the metadata does not launch $id.desktop"
grep -q "^Icon=$id\$" "$desktop" || fail "the launcher's icon is not $id"
# The screenshots are files of this repository.
for shot in $(sed -n 's|.*<image>.*/raw/HEAD/\(.*\)</image>.*|\1|p' "$metainfo"); do
    [ -f "$source/$shot" ] || fail "the metadata shows $shot, which is not in the repository"
done
grep -q '<image>.*/raw/HEAD/' "$metainfo" || fail "the metadata shows no screenshot of the repository"

# The menu's command, found on the PATH as the desktop finds it.
exec_line=$(sed -n 's/^Exec=//p' "$desktop")
shown=$(PATH="$prefix/bin:$PATH" sh -c "$exec_line --version") || fail "'$exec_line --version' failed"
[ "$shown" = "$version" ] || fail "'$exec_line --version' printed '$shown', not $version"

LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E ascii -l "$manual" >"$scratch/manual.txt" \
    2>"$scratch/manual.err" || fail "the manual page does not render"
if [ -s "$scratch/manual.err" ]; then
    cat "$scratch/manual.err" >&2
    fail "the manual page renders with warnings"
fi
# Plain text: no overstrike for bold or underline.
sed 's/.\x08//g' "$scratch/manual.txt" >"$scratch/manual.plain"
"$prefix/bin/pagewick" --help >"$scratch/help.txt"
missing=""
for word in $(grep -o -- '--[a-z][a-z-]*' "$scratch/help.txt" | sort -u) \
    $(sed -n 's/^ *pagewick \([a-z][a-z-]*\).*/\1/p' "$scratch/help.txt" | sort -u) \
    $(grep -rhoE 'qEnvironmentVariable\("PAGEWICK_[A-Z_]+' "$source/src" | sed 's/.*("//' | sort -u); do
    grep -qe "$word" "$scratch/manual.plain" || missing="$missing $word"
done
[ -z "$missing" ] || fail "the manual page does not mention:$missing"
echo "check-install.sh: launcher, metadata and manual page of $id $version are in order"
