#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Runs a test program inside a headless Wayland compositor (weston), with Qt's Wayland platform:
#   run_under_weston.sh PROGRAM [ARGUMENTS...]
# The compositor gets a runtime folder of its own and ends with the test.
set -euo pipefail
runtime="$(mktemp -d)"
chmod 700 "$runtime"
weston_pid=
cleanup() {
    [ -z "$weston_pid" ] || kill "$weston_pid" 2>/dev/null || true
    [ -z "$weston_pid" ] || wait "$weston_pid" 2>/dev/null || true
    rm -rf "$runtime"
}
trap cleanup EXIT
XDG_RUNTIME_DIR="$runtime" weston --backend=headless-backend.so --socket=wayland-test \
    --idle-time=0 --no-config >"$runtime/weston.log" 2>&1 &
weston_pid=$!
for _ in $(seq 100); do
    [ -S "$runtime/wayland-test" ] && break
    sleep 0.1
done
if [ ! -S "$runtime/wayland-test" ]; then
    echo "weston did not start:" >&2
    cat "$runtime/weston.log" >&2
    exit 1
fi
env -u DISPLAY XDG_RUNTIME_DIR="$runtime" WAYLAND_DISPLAY=wayland-test QT_QPA_PLATFORM=wayland \
    "$@"
