#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Builds the release preset and the Debian package pavendel_<version>_<arch>.deb from it, and
# prints the package's path on standard output (the rest goes to standard error). Installs
# missing packages first.
#   scripts/package.sh              builds in build/release and leaves the package there
#   scripts/package.sh BUILD_DIR    builds the release preset in BUILD_DIR instead
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

exec 3>&1 1>&2
install_packages "${PAVENDEL_RUN_PACKAGES[@]}" "${PAVENDEL_PACKAGE_PACKAGES[@]}"

build_dir="$(realpath -m "${1:-$PAVENDEL_ROOT/build/release}")"
cd "$PAVENDEL_ROOT"
cmake --preset release -B "$build_dir"
cmake --build "$build_dir" --parallel "$(nproc)"

# A package left from an earlier version would be taken for this one.
rm -f "$build_dir"/pavendel_*.deb
(cd "$build_dir" && cpack --config CPackConfig.cmake)
packages=("$build_dir"/pavendel_*.deb)
if [ "${#packages[@]}" -ne 1 ] || [ ! -f "${packages[0]}" ]; then
    echo "pavendel: cpack made no single pavendel_*.deb in $build_dir" >&2
    exit 1
fi
echo "${packages[0]}" >&3
