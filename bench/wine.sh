#!/usr/bin/env bash
# Arrival latency of the Windows tool under Wine, for information: kelvoran.exe from build-mingw
# on a virtual display, file created to caption and taskbar text changed (the main window's and
# the application window's names), at random phases of the tick.
#   KV_TRIALS (30)
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
cd "$here"
source scripts/packages.sh
# shellcheck disable=SC2086
kv_install_missing $KV_BUILD_PACKAGES $KV_DISPLAY_PACKAGES $KV_WINDOWS_PACKAGES libbenchmark-dev
kv_make_japanese_locale
cmake -S . -B build-mingw -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw64.cmake -DCMAKE_BUILD_TYPE=Release \
    >/dev/null
cmake --build build-mingw --target kelvoran >/dev/null
cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DKELVORAN_BUILD_TESTS=OFF \
    -DKELVORAN_BUILD_BENCH=ON >/dev/null
cmake --build build-bench --target kv_arrival_latency >/dev/null
export KV_WINEPREFIX=$here/build-mingw/wineprefix LC_ALL=C.UTF-8

kv_start_virtual_display
work=$(mktemp -d)
mkdir "$work/in"
printf '[KansiDir]\r\nfullpath=Z:%s\\in\r\n' "${work//\//\\}" >"$work/Kelvoran.ini"
(cd "$work" && exec "$here/scripts/wine-run" "$here/build-mingw/src/kelvoran.exe" >/dev/null 2>&1) &
pid=$!
trap 'kill $pid $KV_WM_PID $KV_XVFB_PID 2>/dev/null || true; WINEPREFIX=$KV_WINEPREFIX wineserver -k 2>/dev/null || true; rm -rf "$work"' EXIT

# The main window and the application window (the taskbar button's) both carry the status.
windows() {
    local window
    for window in $(xdotool search --class 'kelvoran\.exe' 2>/dev/null); do
        xprop -id "$window" _NET_WM_NAME 2>/dev/null | grep -q '"監視中・・・・"' && echo "$window"
    done
}
two_windows() { [ "$(windows | wc -l)" -eq 2 ]; }
KV_POLL=0.2 kv_wait_for 60 "both windows of kelvoran.exe" two_windows || exit 1
mapfile -t found < <(windows)
echo "Windows build under Wine $(wine --version 2>/dev/null), $(nproc) cores:"
"$here/build-bench/bench/kv_arrival_latency" "$work/in" "${KV_TRIALS:-30}" \
    "kelvoran.exe=${found[0]}:_NET_WM_NAME,${found[1]}:_NET_WM_NAME"

# CPU of kelvoran.exe and of wineserver (which carries Wine's change notifications) while a file
# is created and deleted in the folder as fast as one core can, against the same time idle.
cmake --build build-bench --target kv_churn >/dev/null
server=$(pgrep -n wineserver)
seconds=${KV_CHURN_SECONDS:-20}
percent() { awk -v a="$1" -v s="$seconds" 'BEGIN { printf "%.1f", a / s / 1e7 }'; }
measure() {
    local tool0 server0
    tool0=$(kv_cpu_ns "$pid"); server0=$(kv_cpu_ns "$server")
    "$@"
    echo "$(percent $(($(kv_cpu_ns "$pid") - tool0))) $(percent $(($(kv_cpu_ns "$server") - server0)))"
}
read -r idle_tool idle_server <<<"$(measure sleep "$seconds")"
churn_for() { "$here/build-bench/bench/kv_churn" "$work/in" >"$work/rounds" & local churn=$!; sleep "$seconds"; kill "$churn"; wait "$churn" || true; }
read -r churn_tool churn_server <<<"$(measure churn_for)"
echo "CPU over $seconds s, % of one core: idle kelvoran.exe $idle_tool %, wineserver $idle_server %;" \
    "under a create/delete loop ($(($(cat "$work/rounds") / seconds)) rounds/s) kelvoran.exe $churn_tool %, wineserver $churn_server %"
