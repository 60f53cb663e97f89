#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Installs the build into a scratch prefix and checks the tree: the program folder, the bin link,
# the menu entry, the metainfo and the icon theme, each valid and each naming the others right.
#   layout_test.sh BUILD_DIR VERSION
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
build_dir="$1"
version="$2"
prefix="$WORK_DIR/prefix"

cmake --install "$build_dir" --prefix "$prefix" >/dev/null
same_lists "installed tree" "$(expected_tree "$build_dir")" "$(actual_tree "$prefix")"

# The link stays relative so that the tree can be moved and packaged.
[ -L "$prefix/bin/pavendel" ] || fail "bin/pavendel is not a link"
link="$(readlink "$prefix/bin/pavendel")"
[ "$link" = ../lib/pavendel/pavendel ] || fail "bin/pavendel points to $link"
for program in "$prefix"/lib/pavendel/pavendel "$prefix"/lib/pavendel/pavendel-office; do
    [ -x "$program" ] || fail "$program is not executable"
done

desktop="$prefix/share/applications/org.example.Pavendel.desktop"
desktop-file-validate "$desktop" || fail "desktop-file-validate rejects $desktop"
desktop_key() {
    sed -n "s/^$1=//p" "$desktop"
}
exec_line="$(desktop_key Exec)"
[ -e "$prefix/bin/${exec_line%% *}" ] || fail "Exec=$exec_line names no program in bin/"
# "Open with Pavendel" passes the chosen files; the entry offers itself for Word documents, and
# never for folders, which the program opens through the desktop after every run.
[ "$exec_line" = "pavendel %F" ] || fail "Exec=$exec_line does not take the chosen files"
mime_types="$(desktop_key MimeType)"
for type in application/msword \
    application/vnd.openxmlformats-officedocument.wordprocessingml.document \
    application/vnd.ms-word.document.macroEnabled.12 \
    application/vnd.openxmlformats-officedocument.wordprocessingml.template; do
    case ";$mime_types" in *";$type;"*) ;; *) fail "MimeType lacks $type" ;; esac
done
case ";$mime_types" in *";inode/directory;"*) fail "the entry offers to open folders" ;; esac
icon="$(desktop_key Icon)"
for size in 16 24 32 48 64 128 256; do
    png="$prefix/share/icons/hicolor/${size}x${size}/apps/$icon.png"
    [ -f "$png" ] || fail "Icon=$icon has no ${size}x${size} picture"
    file -b "$png" | grep -q "^PNG image data, $size x $size," ||
        fail "$png is $(file -b "$png")"
done
[ -f "$prefix/share/icons/hicolor/scalable/apps/$icon.svg" ] ||
    fail "Icon=$icon has no scalable picture"

metainfo="$prefix/share/metainfo/org.example.Pavendel.metainfo.xml"
appstreamcli validate --no-net "$metainfo" || fail "appstreamcli rejects $metainfo"
launchable="$(sed -n 's:.*<launchable type="desktop-id">\(.*\)</launchable>.*:\1:p' "$metainfo")"
[ "$launchable" = "$(basename "$desktop")" ] || fail "the metainfo launches [$launchable]"
stock_icon="$(sed -n 's:.*<icon type="stock">\(.*\)</icon>.*:\1:p' "$metainfo")"
[ "$stock_icon" = "$icon" ] || fail "the metainfo names the icon [$stock_icon], the entry [$icon]"
# The newest release comes first; it has to be the version being built.
release="$(grep -o -m1 '<release version="[^"]*"' "$metainfo" | cut -d'"' -f2)"
[ "$release" = "$version" ] || fail "the metainfo's newest release is [$release], not $version"
