#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Formats every C++ file of the project in place with the repository's .clang-format.
# With --check it changes nothing and fails when a file is not formatted.
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
cd "$PAVENDEL_ROOT"
mode=(-i)
if [ "${1:-}" = "--check" ]; then
    mode=(--dry-run --Werror)
fi
git ls-files -co --exclude-standard -- '*.cpp' '*.h' | grep -v '^build/' |
    xargs -r -d '\n' clang-format --style=file "${mode[@]}"
