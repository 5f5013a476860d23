#!/bin/sh
# Builds the Debian package from the build folder (cpack -G DEB) into a
# scratch folder and checks its control fields: the package and version, the
# libraries the program links found by dpkg-shlibdeps (Qt, libcurl, enchant,
# the keyring library), and the packages it loads at run time.
# Usage: check-package.sh BUILD_DIR VERSION
set -eu
build=$1 version=$2
scratch=$(mktemp -d "${TMPDIR:-/tmp}/pagewick-package.XXXXXX")
trap 'rm -rf "$scratch"' EXIT
fail() {
    echo "check-package.sh: $*" >&2
    exit 1
}
cpack -G DEB --config "$build/CPackConfig.cmake" -B "$scratch" >"$scratch/cpack.log" 2>&1 || {
    cat "$scratch/cpack.log" >&2
    fail "cpack failed"
}
set -- "$scratch"/pagewick_*.deb
[ "$#" -eq 1 ] && [ -f "$1" ] || fail "cpack made no pagewick_*.deb"
deb=$1
for field in Package Version Maintainer Description; do
    [ -n "$(dpkg-deb -f "$deb" "$field")" ] || fail "the package has no $field"
done
[ "$(dpkg-deb -f "$deb" Package)" = pagewick ] || fail "the package is not named pagewick"
[ "$(dpkg-deb -f "$deb" Version)" = "$version" ] || fail "the package's version is not $version"
depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
missing=""
for needed in libc6 libqt6core6 libqt6gui6 libqt6widgets6 libqt6network6 libcurl4 \
    libenchant-2-2 libqt6keychain1 libqt6svg6 libsecret-1-0 'hunspell-en-us | hunspell-dictionary'; do
    printf '%s\n' "$depends" | tr ',' '\n' | sed 's/^ *//; s/ *(.*)$//' | grep -qxF "$needed" ||
        missing="$missing [$needed]"
done
[ -z "$missing" ] || fail "Depends lacks$missing"
dpkg-deb -f "$deb" Recommends | grep -q gnome-keyring || fail "gnome-keyring is not recommended"
# The files a desktop needs, where it looks for them.
dpkg-deb -c "$deb" | awk '{print $6}' >"$scratch/files"
for f in ./usr/bin/pagewick ./usr/share/applications/ ./usr/share/metainfo/ ./usr/share/man/man1/pagewick.1; do
    grep -q "^$f" "$scratch/files" || fail "the package does not hold $f"
done
echo "check-package.sh: $(basename "$deb") is in order"
