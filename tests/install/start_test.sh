#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Installs the build into a scratch prefix and starts the installed program on the offscreen
# platform as a user who cannot write the prefix: its state files go to the per-user folder.
# Then starts a copy of the program folder that the user owns: its state files stay beside it.
#   start_test.sh BUILD_DIR
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
build_dir="$1"
prefix="$WORK_DIR/prefix"

cmake --install "$build_dir" --prefix "$prefix" >/dev/null
home="$WORK_DIR/home-copy"
mkdir -p "$home"
copy="$home/Pavendel"
cp -R "$prefix/lib/pavendel" "$copy"
new_home "$home"
make_read_only "$prefix"

check_read_only_start "$prefix/bin/pavendel" "$prefix/lib/pavendel"

# Started through a link in a folder the user cannot write, the copy still finds its own folder.
links="$WORK_DIR/links"
mkdir "$links"
ln -s "$copy/pavendel" "$links/pavendel"
make_read_only "$links"
before="$(folder_names "$copy")"
start_program "$links/pavendel" "$home"
wait_until_loaded "$(realpath "$copy/pavendel")" "$copy/set.txt"
stop_program
after="$(folder_names "$copy")"
[ "$after" = "$(printf '%s\n' $before EXCEL.txt output.txt set.txt | LC_ALL=C sort | xargs)" ] ||
    fail "the writable program folder holds [$after]"
has_content "$copy/set.txt" '1\r\n1\r\n'
[ ! -e "$home/.config/pavendel" ] || fail "a writable program folder's state went to ~/.config"
