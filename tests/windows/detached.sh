#!/bin/sh
# SPDX-License-Identifier: MIT
# Runs a Windows test program under Wine with its output going to a file, then prints that file.
# - The window tests open the output folder at the end of a run, and Wine's folder window lives
#   on after the test; started with the test's standard output, it would hold CTest's pipe open
#   until the test's time ran out.
# - Every test program prints before it does anything else. When Wine ends one at once without a
#   word (it started just as Wine's idle server was going away), it is started once more, after
#   that server has gone.
log=$(mktemp) || exit 1
wine "$@" > "$log" 2>&1
status=$?
if [ "$status" -ne 0 ] && [ ! -s "$log" ]; then
    timeout 15 wineserver -w
    wine "$@" > "$log" 2>&1
    status=$?
fi
cat "$log"
rm -f "$log"
exit $status
