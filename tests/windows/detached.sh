#!/bin/sh
# SPDX-License-Identifier: MIT
# Runs a Windows test program under Wine with its output going to a file, then prints that file.
# The program under test opens the output folder at the end of a run, and Wine's folder window
# lives on after the test; started with the test's standard output, it would hold CTest's pipe
# open until the test's time ran out.
log=$(mktemp) || exit 1
wine "$@" > "$log" 2>&1
status=$?
cat "$log"
rm -f "$log"
exit $status
