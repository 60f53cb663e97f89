#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Builds the Debian package with scripts/package.sh and checks what it declares and holds: its
# name and version, the run-time dependencies, and the same tree as `cmake --install` under /usr,
# owned by root.
#   deb_build_test.sh SOURCE_DIR PACKAGE_BUILD_DIR VERSION
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
source_dir="$1"
package_dir="$2"
version="$3"

deb="$(bash "$source_dir/scripts/package.sh" "$package_dir")"
[ -f "$deb" ] || fail "scripts/package.sh printed [$deb], not a package"
[ "$(basename "$deb")" = "pavendel_${version}_$(dpkg --print-architecture).deb" ] ||
    fail "the package is named $(basename "$deb")"

field() {
    dpkg-deb --field "$deb" "$1"
}
[ "$(field Package)" = pavendel ] || fail "Package: $(field Package)"
[ "$(field Version)" = "$version" ] || fail "Version: $(field Version)"
[ "$(field Architecture)" = "$(dpkg --print-architecture)" ] ||
    fail "Architecture: $(field Architecture)"
[[ "$(field Maintainer)" =~ ^[^\<]+\ \<[^@\>]+@[^\>]+\>$ ]] || fail "Maintainer: $(field Maintainer)"
[ -n "$(field Description | sed -n 2p)" ] || fail "the description has no long text"

# Each group of alternatives without its version constraints, one a line.
groups() {
    field "$1" | tr ',' '\n' | sed -E 's/\([^)]*\)//g; s/[[:space:]]+/ /g; s/^ //; s/ $//'
}
depends="$(groups Depends)"
# The Qt and UNO libraries come from dpkg-shlibdeps; the rest the program starts rather than
# links.
for needed in libc6 libqt6core6 libqt6gui6 libqt6widgets6 libqt6svg6 libgsf-1-114 libuno-cppu3 \
    'libreoffice-writer-nogui | libreoffice-writer' fonts-liberation xdg-utils; do
    grep -qxF "$needed" <<<"$depends" || fail "Depends lacks [$needed]: $(field Depends)"
done
# A CHM viewer for Help, and Qt's Wayland platform for running natively under Wayland.
[ "$(groups Recommends | sort | tr '\n' ' ')" = "qt6-wayland xchm " ] ||
    fail "Recommends: $(field Recommends)"
for needed in libseccomp2 libqt6network6 libtcmalloc-minimal4; do
    grep -qxF "$needed" <<<"$depends" || fail "Depends lacks [$needed]: $(field Depends)"
done

contents="$(dpkg-deb --contents "$deb")"
listed="$(awk '$1 !~ /^d/ {print $6}' <<<"$contents" | sed 's:^\./usr/::' | LC_ALL=C sort)"
same_lists "package tree under /usr" "$(expected_tree "$package_dir")" "$listed"
not_root="$(awk '$2 != "root/root"' <<<"$contents")"
[ -z "$not_root" ] || fail "entries not owned by root: $not_root"
grep -qF './usr/bin/pavendel -> ../lib/pavendel/pavendel' <<<"$contents" ||
    fail "the package lacks the relative bin link"
# The release executables are stripped.
extracted="$WORK_DIR/extracted"
dpkg-deb --extract "$deb" "$extracted"
for program in "$extracted"/usr/lib/pavendel/pavendel*; do
    file -b "$program" | grep -q ', stripped' || fail "$program is not stripped"
done
