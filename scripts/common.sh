# SPDX-License-Identifier: MIT
# Shared by the scripts: the repository root, privilege escalation and package installation.
set -euo pipefail

PAVENDEL_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
export PAVENDEL_ROOT

# Packages needed to build and run the program.
PAVENDEL_RUN_PACKAGES=(
    build-essential cmake ninja-build pkg-config
    qt6-base-dev qt6-svg-dev libqt6svg6 qt6-qpa-plugins libgl-dev
    nlohmann-json3-dev libgsf-1-dev libseccomp-dev libgoogle-perftools-dev
    libreoffice-writer-nogui libreofficekit-dev libreoffice-dev
    fonts-liberation
    fp-utils
    xchm xdg-utils
    qt6-wayland
)
# Packages needed on top of those to build the Debian package (dpkg-shlibdeps reads the
# libraries the executables need; CPack finds the executables with file).
PAVENDEL_PACKAGE_PACKAGES=(
    dpkg-dev file
)
# Packages needed on top of those to build the Windows program (the cross compiler, and the
# tools that turn the pictures into icon resources) and run its tests under Wine (locales: the
# tests run Wine under the zh_CN.UTF-8 locale too, see PAVENDEL_TEST_LOCALES).
PAVENDEL_WINDOWS_PACKAGES=(
    g++-mingw-w64-x86-64-posix
    wine wine64
    librsvg2-bin icoutils
    locales
)
# Locales the tests need: Wine takes its ANSI code page from the locale it runs under, and the
# Windows tests read and write state files under code page 936 (Simplified Chinese) as well as
# under 1252, which the C locale gives.
PAVENDEL_TEST_LOCALES=(
    zh_CN.UTF-8
)
# Packages needed on top of those to run the tests.
PAVENDEL_TEST_PACKAGES=(
    googletest libgtest-dev libgmock-dev
    zlib1g-dev
    clang-format
    xvfb xauth
    weston
    desktop-file-utils appstream
    # gio: the menu entry is also read with GLib's own loader, as GNOME reads it.
    libglib2.0-bin
    "${PAVENDEL_PACKAGE_PACKAGES[@]}"
    "${PAVENDEL_WINDOWS_PACKAGES[@]}"
)

as_root() {
    if [ "$(id -u)" -eq 0 ]; then
        "$@"
    elif command -v sudo >/dev/null 2>&1; then
        sudo "$@"
    else
        echo "pavendel: need root rights to install packages: run as root or install sudo" >&2
        return 1
    fi
}

# Installs the packages that are not installed yet; does nothing when all are there.
install_packages() {
    local missing=()
    local pkg
    for pkg in "$@"; do
        if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed'; then
            missing+=("$pkg")
        fi
    done
    if [ "${#missing[@]}" -eq 0 ]; then
        return 0
    fi
    echo "pavendel: installing ${missing[*]}"
    as_root env DEBIAN_FRONTEND=noninteractive apt-get update -qq
    as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
        "${missing[@]}"
}

# Generates the locales that are not on the system yet (as locale-gen would, without touching
# the others); does nothing when all are there.
generate_locales() {
    local name
    for name in "$@"; do
        # "locale -a" spells zh_CN.UTF-8 as zh_CN.utf8.
        if locale -a 2>/dev/null | grep -ix "${name%%.*}.utf-\?8" >/dev/null; then
            continue
        fi
        echo "pavendel: generating the locale $name"
        as_root localedef -i "${name%%.*}" -c -f UTF-8 -A /usr/share/locale/locale.alias "$name"
    done
}

# Configures (once) and builds a preset; the build folder is build/ at the repository root.
build_preset() {
    local preset="$1"
    cd "$PAVENDEL_ROOT"
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset" --parallel "$(nproc)"
}
