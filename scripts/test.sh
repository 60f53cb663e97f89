#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Builds Pavendel into build/ and runs every test: the format check, the unit and GUI tests, the
# integration tests with the real office engine, the install tests (the installed tree, the
# program started from it, the Debian package built in build/package and, as root with
# PAVENDEL_DEB_TEST=1 or CI=true, installed and purged), then the unit and GUI tests again under
# AddressSanitizer and UndefinedBehaviorSanitizer (build/asan), then the Windows build's tests
# under Wine (build/windows, in a Wine prefix of its own there). Installs missing packages first.
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

install_packages "${PAVENDEL_RUN_PACKAGES[@]}" "${PAVENDEL_TEST_PACKAGES[@]}"
generate_locales "${PAVENDEL_TEST_LOCALES[@]}"

passed=0
failed=0
status=0
# Runs one ctest preset, through the command that follows it if any, and adds its counts to the
# totals.
run_ctest() {
    local log
    log="$(mktemp)"
    if ! "${@:2}" ctest --preset "$1" 2>&1 | tee "$log"; then
        status=1
    fi
    local line
    line="$(grep -E 'tests passed, [0-9]+ tests? failed out of [0-9]+' "$log" | tail -n 1 || true)"
    if [ -z "$line" ]; then
        echo "pavendel: ctest preset $1 printed no summary" >&2
        status=1
    else
        local total bad
        bad="$(sed -E 's/.*tests passed, ([0-9]+) tests? failed out of ([0-9]+).*/\1/' <<<"$line")"
        total="$(sed -E 's/.*tests passed, ([0-9]+) tests? failed out of ([0-9]+).*/\2/' <<<"$line")"
        passed=$((passed + total - bad))
        failed=$((failed + bad))
    fi
    rm -f "$log"
}

build_preset dev
run_ctest dev
build_preset asan
run_ctest asan
build_preset windows
# A new Wine prefix takes a while to make; made here, its first test does not pay for it.
# No .NET or HTML engine is wanted in it (the tests need neither), so Wine asks for none. Wine
# goes on setting the prefix up after wineboot returns; a COM server started meanwhile hung, so
# the tests start once Wine's server has ended.
export WINEPREFIX="$PAVENDEL_ROOT/build/windows/wine" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
timeout 300 wineboot --init >/dev/null 2>&1 || true
timeout 300 wineserver -w || true
# Windows' message boxes and windows need a display.
run_ctest windows xvfb-run -a -s "-screen 0 1280x1024x24"

echo "$passed passed, $failed failed"
if [ "$failed" -ne 0 ]; then
    status=1
fi
exit "$status"
