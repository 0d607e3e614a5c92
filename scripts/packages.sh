# Debian packages the project needs, and a function that installs the missing ones.
# Sourced by scripts/start and scripts/test.

KV_BUILD_PACKAGES="g++ cmake ninja-build qt6-base-dev qt6-translations-l10n libxcb1-dev pkg-config libcanberra-dev libwayland-dev wayland-protocols"
KV_DISPLAY_PACKAGES="xvfb xauth x11-utils xdotool xclip openbox imagemagick fonts-dejavu-core fonts-ipafont-mincho fonts-noto-cjk"
# Qt's Wayland platform, for the tool on a Wayland desktop; and the Wayland check's compositor,
# which runs headless.
KV_DISPLAY_PACKAGES="$KV_DISPLAY_PACKAGES qt6-wayland"
KV_WAYLAND_PACKAGES="sway"
# The louder channels' end-to-end test: a real tray (tint2's), a session bus of its own and a
# notification server on it (python3-dbusmock's); dex, which starts the start at login's entry as
# a session's autostart does, and GLib's gio, whose loader reads it as GLib-based desktops do.
KV_CHANNEL_PACKAGES="tint2 dbus python3-dbusmock xdg-utils file dex libglib2.0-bin"
# The checks: formatting, the fuzz and sanitizer builds, the FUSE file system whose listing
# hangs (its library to build it, fusermount3 to mount it), and the benchmarks' library (they
# are compiled with the tests).
KV_CHECK_PACKAGES="clang-format clang libclang-rt-14-dev pkg-config fuse3 libfuse3-dev libbenchmark-dev"
# Packaging: CPack's .deb (dpkg-shlibdeps, file), its checks, and dpkg-repack to pack up a
# Kelvoran installed before the check, so that it can be put back.
KV_PACKAGE_PACKAGES="dpkg-dev file lintian desktop-file-utils appstream unzip dpkg-repack"
# The Windows build: the cross compiler, Wine to run it (with Wine's own Tahoma), doctest for its
# tests, and the locales package for the Japanese locale that gives Wine code page 932.
KV_WINDOWS_PACKAGES="g++-mingw-w64-x86-64-posix wine wine64 fonts-wine doctest-dev locales"

kv_install_missing() {
    local missing=()
    local package
    for package in "$@"; do
        dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing+=("$package")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing: ${missing[*]}"
    local sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}

# kv_cpu_ns PID: the CPU time the process has used so far, in nanoseconds, threads that have
# ended included: the process's own totals in /proc/PID/stat (user and system time), whose unit
# is the clock tick (10 ms). For the benchmarks.
kv_cpu_ns() {
    sed 's/.*) //' /proc/"$1"/stat | awk -v hz="$(getconf CLK_TCK)" '{ printf "%.0f\n", ($12 + $13) * 1e9 / hz }'
}

# kv_wait_for SECONDS WHAT COMMAND...: runs COMMAND until it succeeds, every $KV_POLL seconds (0:
# at once again); after SECONDS it names WHAT and fails.
kv_wait_for() {
    local deadline=$(($(date +%s) + $1)) what=$2
    shift 2
    until "$@" >/dev/null 2>&1; do
        [ "$(date +%s)" -lt "$deadline" ] || { echo "gave up waiting for $what" >&2; return 1; }
        [ "${KV_POLL:-0.1}" = 0 ] || sleep "${KV_POLL:-0.1}"
    done
}

# Starts Xvfb on a free display and a window manager on it; sets DISPLAY and KV_XVFB_PID.
kv_start_virtual_display() {
    local fifo
    fifo=$(mktemp -u)
    mkfifo "$fifo"
    Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$fifo" >/dev/null 2>&1 &
    KV_XVFB_PID=$!
    read -r number <"$fifo"
    rm -f "$fifo"
    export DISPLAY=":$number"
    openbox >/dev/null 2>&1 &
    KV_WM_PID=$!
    sleep 0.5
}

# Wine takes its ANSI code page from the locale: ja_JP.UTF-8 gives code page 932.
kv_make_japanese_locale() {
    locale -a 2>/dev/null | grep -qi '^ja_JP\.utf-\?8$' && return 0
    local sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    $sudo localedef -i ja_JP -f UTF-8 ja_JP.UTF-8
}

# kv_start_wayland DIR SWAY_CONFIG: sway, headless, and a session bus of its own, over DIR, which
# holds what the session is to run (a copy anyone may run: a build may lie under /root). As root
# they run as the system user kelvoran-test (made if missing: sway refuses root), DIR its home.
# kv_as runs a command in the session, kv_start starts one there; their ids go to KV_PIDS,
# their output to DIR/log.
kv_start_wayland() {
    local dir=$1
    KV_AS=() KV_PIDS=() KV_LOG=$dir/log
    chmod 755 "$dir"
    mkdir -m 700 "$dir/run"
    printf '%s\nxwayland disable\n' "$2" >"$dir/sway.conf"
    if [ "$(id -u)" -eq 0 ]; then
        id kelvoran-test >/dev/null 2>&1 || useradd --system --no-create-home --shell /usr/sbin/nologin kelvoran-test
        chown -R kelvoran-test: "$dir"
        KV_AS=(setpriv --reuid=kelvoran-test --regid=kelvoran-test --init-groups)
    fi
    KV_AS+=(env -i HOME="$dir" PATH=/usr/bin:/bin LANG=C.UTF-8 XDG_RUNTIME_DIR="$dir/run" XDG_SESSION_TYPE=wayland
        WAYLAND_DISPLAY=wayland-1 SWAYSOCK="$dir/run/sway.sock" DBUS_SESSION_BUS_ADDRESS="unix:path=$dir/run/bus")
    kv_start WLR_BACKENDS=headless WLR_LIBINPUT_NO_DEVICES=1 sway -c "$dir/sway.conf"
    kv_start dbus-daemon --session --nofork --address="unix:path=$dir/run/bus"
    kv_wait_for 10 "sway and the bus" test -S "$dir/run/wayland-1" -a -S "$dir/run/sway.sock" -a -S "$dir/run/bus"
}
kv_as() { "${KV_AS[@]}" "$@"; }
kv_start() {
    "${KV_AS[@]}" "$@" >>"$KV_LOG" 2>&1 &
    KV_PIDS+=($!)
}
