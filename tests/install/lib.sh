# SPDX-License-Identifier: MIT
# Shared by the install tests: the layout of an installed tree, and starting the installed program
# as a user who cannot write its folder. Root may write anywhere, so as root the program runs as
# nobody; otherwise it runs as ourselves and the tree is made read-only.
set -euo pipefail

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

# The entries of an installed tree relative to its prefix, sorted, directories left out. The
# office server is expected when the build in $1 made one.
expected_tree() {
    local build_dir="$1"
    {
        echo bin/pavendel
        echo lib/pavendel/help.chm
        echo lib/pavendel/pavendel
        echo lib/pavendel/pavendel-office
        echo lib/pavendel/pavendel-office-uno.so
        echo share/applications/org.example.Pavendel.desktop
        echo share/doc/pavendel/copyright
        echo share/icons/hicolor/scalable/apps/org.example.Pavendel.svg
        local size
        for size in 16 24 32 48 64 128 256; do
            echo "share/icons/hicolor/${size}x${size}/apps/org.example.Pavendel.png"
        done
        echo share/metainfo/org.example.Pavendel.metainfo.xml
    } | LC_ALL=C sort
}

# The files and links under $1, relative to it, sorted.
actual_tree() {
    (cd "$1" && find . ! -type d -printf '%P\n' | LC_ALL=C sort)
}

# Checks that two sorted lists are equal and names the differences.
same_lists() {
    local what="$1" expected="$2" actual="$3"
    local missing stray
    missing="$(LC_ALL=C comm -23 <(echo "$expected") <(echo "$actual"))"
    stray="$(LC_ALL=C comm -13 <(echo "$expected") <(echo "$actual"))"
    if [ -n "$missing" ] || [ -n "$stray" ]; then
        fail "$what: missing [${missing//$'\n'/ }], unexpected [${stray//$'\n'/ }]"
    fi
}

TEST_UID="$(id -u)"
TEST_GID="$(id -g)"
if [ "$TEST_UID" -eq 0 ]; then
    TEST_UID="$(id -u nobody)"
    TEST_GID="$(id -g nobody)"
fi

# A scratch folder everyone may enter, removed at exit together with any program left running.
WORK_DIR="$(mktemp -d "${TMPDIR:-/tmp}/pavendel-install.XXXXXX")"
WORK_DIR="$(realpath "$WORK_DIR")"
chmod 755 "$WORK_DIR"
PROGRAM_PID=""
PROGRAM_LOG=""
cleanup() {
    if [ -n "$PROGRAM_PID" ]; then
        kill -KILL "$PROGRAM_PID" 2>/dev/null || true
        wait "$PROGRAM_PID" 2>/dev/null || true
    fi
    chmod -R u+w "$WORK_DIR" 2>/dev/null || true
    rm -rf "$WORK_DIR"
}
trap cleanup EXIT

# Takes away the write permission from a tree; as root the tree also belongs to root, whom the
# test user is not.
make_read_only() {
    chmod -R a-w "$@"
}

# Hands a folder to the test user.
give_to_test_user() {
    if [ "$(id -u)" -eq 0 ]; then
        chown -R "$TEST_UID:$TEST_GID" "$1"
    fi
}

# Creates a home folder of the test user, with a private runtime folder for Qt.
new_home() {
    mkdir -p "$1/runtime"
    chmod 700 "$1/runtime"
    give_to_test_user "$1"
}

# Starts PROGRAM as the test user on the offscreen platform with HOME and a clean environment;
# further arguments are VAR=VALUE settings. Its output goes to PROGRAM_LOG.
start_program() {
    local program="$1" home="$2"
    shift 2
    PROGRAM_LOG="$WORK_DIR/program-$RANDOM.log"
    local run=()
    if [ "$(id -u)" -eq 0 ]; then
        run=(setpriv --reuid="$TEST_UID" --regid="$TEST_GID" --clear-groups)
    fi
    "${run[@]}" env -i PATH=/usr/bin:/bin LANG=C.UTF-8 HOME="$home" \
        XDG_RUNTIME_DIR="$home/runtime" QT_QPA_PLATFORM=offscreen "$@" "$program" \
        >"$PROGRAM_LOG" 2>&1 &
    PROGRAM_PID=$!
}

# True while the process runs; a process that has ended but is not yet reaped is a zombie.
is_running() {
    local state
    state="$(awk '{print $3}' "/proc/$1/stat" 2>/dev/null)" || return 1
    [ -n "$state" ] && [ "$state" != Z ]
}

# True once the process has a handler for SIGTERM (bit 15 of SigCgt).
catches_sigterm() {
    local mask
    mask="$(awk '/^SigCgt:/ {print $2}' "/proc/$1/status" 2>/dev/null)" || return 1
    [ -n "$mask" ] && (((16#$mask >> 14) & 1))
}

# Waits until the program started by start_program runs the executable EXE, handles SIGTERM
# (the program's last step before it builds its window) and FILE exists.
wait_until_loaded() {
    local exe="$1" file="$2"
    local deadline=$((SECONDS + 30))
    while :; do
        if ! is_running "$PROGRAM_PID"; then
            fail "the program ended while starting: $(cat "$PROGRAM_LOG")"
        fi
        if [ "$(readlink "/proc/$PROGRAM_PID/exe" 2>/dev/null)" = "$exe" ] &&
            catches_sigterm "$PROGRAM_PID" && [ -e "$file" ]; then
            return 0
        fi
        if [ "$SECONDS" -ge "$deadline" ]; then
            fail "the program did not load within 30 s ($file missing?): $(cat "$PROGRAM_LOG")"
        fi
        sleep 0.05
    done
}

# Sends SIGTERM and checks that the program closes its window and exits with status 0.
stop_program() {
    kill -TERM "$PROGRAM_PID"
    local deadline=$((SECONDS + 30))
    while is_running "$PROGRAM_PID"; do
        if [ "$SECONDS" -ge "$deadline" ]; then
            fail "the program did not exit within 30 s of SIGTERM: $(cat "$PROGRAM_LOG")"
        fi
        sleep 0.05
    done
    local status=0
    wait "$PROGRAM_PID" || status=$?
    PROGRAM_PID=""
    if [ "$status" -ne 0 ]; then
        fail "the program exited with status $status after SIGTERM: $(cat "$PROGRAM_LOG")"
    fi
}

# The names in a folder, sorted, on one line.
folder_names() {
    (cd "$1" && LC_ALL=C ls -A | tr '\n' ' ' | sed 's/ $//')
}

# Checks a file's exact bytes; printf-style escapes in the expected text.
has_content() {
    local file="$1" expected="$2"
    if [ "$(od -An -c "$file")" != "$(printf "$expected" | od -An -c)" ]; then
        fail "$file holds [$(od -An -c "$file" | tr -s ' ')], not [$expected]"
    fi
}

# Starts the installed program through LINK, twice, as a user who cannot write its folder
# PROGRAM_DIR, and checks that its state lives in the per-user folder: the first start creates the
# three files there, the second reads both lists from there and writes them back at exit.
check_read_only_start() {
    local link="$1" program_dir="$2"
    local exe before
    exe="$(realpath "$program_dir/pavendel")"
    before="$(folder_names "$program_dir")"
    local home="$WORK_DIR/home-read-only"
    new_home "$home"

    # Without XDG_CONFIG_HOME the per-user folder is ~/.config/pavendel.
    start_program "$link" "$home"
    wait_until_loaded "$exe" "$home/.config/pavendel/set.txt"
    stop_program
    local names
    names="$(folder_names "$home/.config/pavendel")"
    [ "$names" = "EXCEL.txt output.txt set.txt" ] ||
        fail "first start left [$names] in ~/.config/pavendel"
    has_content "$home/.config/pavendel/set.txt" '1\r\n1\r\n'
    names="$(folder_names "$program_dir")"
    [ "$names" = "$before" ] || fail "the program folder changed from [$before] to [$names]"

    # Lists saved with LF line ends come back with CR LF: read at start, written at exit.
    local config="$home/settings"
    mkdir -p "$config/pavendel"
    printf '%s\n' "$home/Reports" >"$config/pavendel/EXCEL.txt"
    printf '%s\n' "$home/Converted" >"$config/pavendel/output.txt"
    printf '1\n1\n' >"$config/pavendel/set.txt"
    give_to_test_user "$config"
    start_program "$link" "$home" XDG_CONFIG_HOME="$config"
    wait_until_loaded "$exe" "$config/pavendel/set.txt"
    stop_program
    has_content "$config/pavendel/EXCEL.txt" "$home/Reports\r\n"
    has_content "$config/pavendel/output.txt" "$home/Converted\r\n"
    names="$(folder_names "$program_dir")"
    [ "$names" = "$before" ] || fail "the program folder changed from [$before] to [$names]"
}
