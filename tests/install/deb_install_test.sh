#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Installs the Debian package built by deb_build_test.sh with apt-get, starts the installed
# program as a user, purges the package and checks that the machine is left as it was. It changes
# the machine, so it runs only as root and only with PAVENDEL_DEB_TEST=1 or in CI (CI=true).
#   deb_install_test.sh PACKAGE_BUILD_DIR
readonly skip=77
if [ "$(id -u)" -ne 0 ] || { [ "${PAVENDEL_DEB_TEST:-}" != 1 ] && [ "${CI:-}" != true ]; }; then
    echo "skipped: installs a package; runs as root with PAVENDEL_DEB_TEST=1 or CI=true"
    exit "$skip"
fi
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
package_dir="$1"

debs=("$package_dir"/pavendel_*.deb)
[ "${#debs[@]}" -eq 1 ] && [ -f "${debs[0]}" ] || fail "no single package in $package_dir"
deb="${debs[0]}"
if dpkg-query -W -f='${Status}' pavendel 2>/dev/null | grep -q 'ok installed'; then
    fail "pavendel is installed already; remove it before this test"
fi

# Everywhere the package may put a file, and the package's own records.
watched=(/usr/lib/pavendel /usr/bin /usr/share/applications /usr/share/icons/hicolor
    /usr/share/metainfo /usr/share/doc/pavendel)
snapshot() {
    {
        find "${watched[@]}" -printf '%p\n' 2>/dev/null || true
        find /var/lib/dpkg/info -name 'pavendel.*' -printf '%p\n'
    } | LC_ALL=C sort
}
before="$(snapshot)"

apt_get() {
    DEBIAN_FRONTEND=noninteractive apt-get -q -y "$@" >"$WORK_DIR/apt.log" 2>&1 ||
        fail "apt-get $*: $(cat "$WORK_DIR/apt.log")"
}
apt_get install "$(realpath "$deb")"

installed="$(dpkg-query -L pavendel)"
while read -r path; do
    [ -d "$path" ] && continue
    inside=false
    for root in "${watched[@]}"; do
        [[ "$path" == "$root"/* ]] && inside=true
    done
    $inside || fail "the package installs $path, which this test does not watch"
done <<<"$installed"
[ "$(readlink -f /usr/bin/pavendel)" = /usr/lib/pavendel/pavendel ] ||
    fail "/usr/bin/pavendel leads to $(readlink -f /usr/bin/pavendel)"
check_read_only_start /usr/bin/pavendel /usr/lib/pavendel

apt_get purge pavendel
status="$(dpkg-query -W -f='${Status}' pavendel 2>/dev/null || true)"
[ -z "$status" ] || [[ "$status" == *not-installed ]] || fail "after the purge pavendel is [$status]"
same_lists "files before the install and after the purge" "$before" "$(snapshot)"
