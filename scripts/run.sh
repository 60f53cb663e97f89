#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Builds Pavendel into build/ and starts it. Installs missing packages first.
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

install_packages "${PAVENDEL_RUN_PACKAGES[@]}"
build_preset dev

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ "${QT_QPA_PLATFORM:-}" != "offscreen" ]; then
    echo "pavendel: no display available; run it under a virtual one: xvfb-run -a scripts/run.sh" >&2
    exit 1
fi
exec "$PAVENDEL_ROOT/build/bin/pavendel" "$@"
