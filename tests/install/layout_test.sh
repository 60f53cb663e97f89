#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Installs the build into a scratch prefix and checks the tree: the program folder, the bin link,
# the menu entry (also as GLib reads it), the metainfo and the icon theme, each valid and each
# naming the others right.
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

# GNOME and the other GLib desktops read the entry with GLib's own loader, which drops an entry
# whose TryExec names no program on PATH (desktop-file-validate does not look): then there is no
# "Open With > Pavendel". The entry is read here as they read it, from a copy with its MIME cache,
# with only the installed bin/ and the system's folders on PATH.
glib_data="$WORK_DIR/glib-data"
mkdir -p "$glib_data/applications" "$WORK_DIR/glib-home"
cp "$desktop" "$glib_data/applications/"
update-desktop-database "$glib_data/applications"
glib_env() {
    local path="$1"
    shift
    env -i LANG=C.UTF-8 PATH="$path" HOME="$WORK_DIR/glib-home" \
        XDG_DATA_HOME="$WORK_DIR/glib-home/data" XDG_CONFIG_HOME="$WORK_DIR/glib-home/config" \
        XDG_CONFIG_DIRS="$WORK_DIR/glib-home/etc" XDG_DATA_DIRS="$glib_data:/usr/share" "$@"
}
for type in $(echo "$mime_types" | tr ';' ' '); do
    offered="$(glib_env "$prefix/bin:/usr/bin:/bin" gio mime "$type")"
    echo "$offered" | grep -qx $'\t'"$(basename "$desktop")" ||
        fail "GLib does not offer the entry for $type: $offered"
done
offered="$(glib_env "$prefix/bin:/usr/bin:/bin" gio mime inode/directory)"
if echo "$offered" | grep -qx $'\t'"$(basename "$desktop")"; then
    fail "GLib offers the entry for folders"
fi
# Launched by GLib on a chosen file, a stand-in for the program receives it as one argument.
stand_in="$WORK_DIR/glib-bin"
mkdir -p "$stand_in"
printf '#!/bin/sh\nprintf "%%s\\n" "$@" >"%s.part" && mv "%s.part" "%s"\n' \
    "$WORK_DIR/glib-args" "$WORK_DIR/glib-args" "$WORK_DIR/glib-args" >"$stand_in/pavendel"
chmod +x "$stand_in/pavendel"
chosen="$WORK_DIR/To Bob.doc"
: >"$chosen"
glib_env "$stand_in:/usr/bin:/bin" gio launch "$glib_data/applications/$(basename "$desktop")" \
    "$chosen" || fail "GLib cannot launch the entry"
deadline=$((SECONDS + 10))
until [ -e "$WORK_DIR/glib-args" ]; do
    [ "$SECONDS" -lt "$deadline" ] || fail "the entry launched by GLib did not start the program"
    sleep 0.05
done
[ "$(cat "$WORK_DIR/glib-args")" = "$chosen" ] ||
    fail "the entry launched by GLib passed [$(cat "$WORK_DIR/glib-args")], not [$chosen]"
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
