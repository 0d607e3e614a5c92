#!/usr/bin/env bash
# Whole-process figures: Kelvoran beside a bare Qt window with the same controls, on one virtual
# display in the same run. Reports idle CPU, resident memory, start-up to mapped, arrival latency
# and caption/taskbar rewrites in steady state.
#   KV_IDLE_SECONDS (60)  KV_TRIALS (30)  KV_STEADY_SECONDS (20)
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
cd "$here"
source scripts/packages.sh
# shellcheck disable=SC2086
kv_install_missing $KV_BUILD_PACKAGES $KV_DISPLAY_PACKAGES libbenchmark-dev
cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DKELVORAN_BUILD_TESTS=OFF \
    -DKELVORAN_BUILD_BENCH=ON >/dev/null
cmake --build build-bench >/dev/null
tool=$here/build-bench/src/kelvoran
bare=$here/build-bench/bench/bare_window
idle=${KV_IDLE_SECONDS:-60}
trials=${KV_TRIALS:-30}
steady=${KV_STEADY_SECONDS:-20}
export LC_ALL=C.UTF-8

kv_start_virtual_display
work=$(mktemp -d)
mkdir "$work/in"
printf '[KansiDir]\r\nfullpath=%s\r\n' "$work/in" >"$work/Kelvoran.ini"
pids=()
trap 'kill "${pids[@]}" $KV_WM_PID $KV_XVFB_PID 2>/dev/null || true; rm -rf "$work"' EXIT

now_ns() { date +%s%N; }
launch() { (cd "$work" && exec "$@" >/dev/null 2>&1) & echo $!; }
mapped() { xdotool search --onlyvisible --pid "$1" 2>/dev/null | head -1; }
cpu_ns() { cat /proc/"$1"/task/*/schedstat | awk '{ sum += $1 } END { print sum }'; }
status_kib() { awk -v key="$2:" '$1 == key { print $2 }' /proc/"$1"/status; }
median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
# Runs the test "$@" until it holds, polling every $KV_POLL seconds; fails the run after
# $KV_WAIT_SECONDS (10), so a window that never maps or a text that never comes cannot hang it.
wait_for() { KV_POLL=${KV_POLL:-0} kv_wait_for "${KV_WAIT_SECONDS:-10}" "$*" "$@" || exit 1; }
is_mapped() { [ -n "$(mapped "$1")" ]; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (b > 0) printf "%.2f", a / b; else print "n/a" }'; }

# Start-up to mapped, five launches each, alternating.
declare -A startup
for program in tool bare; do startup[$program]=""; done
for round in 1 2 3 4 5; do
    for program in tool bare; do
        binary=$([ $program = tool ] && echo "$tool" || echo "$bare")
        t0=$(now_ns)
        pid=$(launch "$binary")
        wait_for is_mapped "$pid"
        startup[$program]+="$((($(now_ns) - t0) / 1000000)) "
        kill "$pid"; wait "$pid" 2>/dev/null || true
    done
done
start_tool=$(tr ' ' '\n' <<<"${startup[tool]}" | grep . | median)
start_bare=$(tr ' ' '\n' <<<"${startup[bare]}" | grep . | median)

# Idle CPU and memory, all running side by side; the third window does the raw tick work.
tool_pid=$(launch "$tool"); bare_pid=$(launch "$bare"); raw_pid=$(launch "$bare" --raw-tick)
pids=("$tool_pid" "$bare_pid" "$raw_pid")
for pid in "$tool_pid" "$bare_pid" "$raw_pid"; do KV_POLL=0.05 wait_for is_mapped "$pid"; done
sleep 3
cpu_tool0=$(cpu_ns "$tool_pid"); cpu_bare0=$(cpu_ns "$bare_pid"); cpu_raw0=$(cpu_ns "$raw_pid")
sleep "$idle"
cpu_tool=$((($(cpu_ns "$tool_pid") - cpu_tool0) / 1000000)); cpu_bare=$((($(cpu_ns "$bare_pid") - cpu_bare0) / 1000000))
cpu_raw=$((($(cpu_ns "$raw_pid") - cpu_raw0) / 1000000))
kill "$raw_pid"
peak_tool=$(status_kib "$tool_pid" VmHWM); peak_bare=$(status_kib "$bare_pid" VmHWM)
rss_tool=$(status_kib "$tool_pid" VmRSS); rss_bare=$(status_kib "$bare_pid" VmRSS)

# Arrival latency: one file into the empty folder at a random phase of the timer.
window=$(mapped "$tool_pid")
texts() { xprop -id "$window" _NET_WM_NAME _NET_WM_ICON_NAME; }
both() { [ "$(texts | grep -c "\"$1\"")" -eq 2 ]; }
latencies=()
for ((trial = 0; trial < trials; trial++)); do
    rm -f "$work/in/arrival"
    KV_POLL=0.05 wait_for both "監視中・・・・"
    sleep "0.$(printf %03d $((RANDOM % 1000)))"
    t0=$(now_ns)
    : >"$work/in/arrival"
    wait_for both "着信！"
    latencies+=($((($(now_ns) - t0) / 1000000)))
done
rm -f "$work/in/arrival"
sorted=$(printf '%s\n' "${latencies[@]}" | sort -n)
lat_median=$(median <<<"$sorted")
lat_p95=$(awk -v n="$trials" 'NR == int(n * 0.95 + 0.999) { print }' <<<"$sorted")
lat_max=$(tail -1 <<<"$sorted")

# Rewrites of caption or taskbar text while nothing changes.
KV_POLL=0.05 wait_for both "監視中・・・・"
spy=$(timeout "$steady" xprop -spy -id "$window" _NET_WM_NAME _NET_WM_ICON_NAME || true)
rewrites=$(($(grep -c . <<<"$spy") - 2))

cat <<REPORT
machine: $(nproc) cores, $(awk '/MemTotal/ { printf "%.0f GiB", $2 / 1048576 }' /proc/meminfo), $(uname -r)
                           kelvoran        bare Qt     ratio
idle CPU over ${idle} s (ms)   $(printf '%10s %14s %9s' "$cpu_tool" "$cpu_bare" "$(ratio "$cpu_tool" "$cpu_bare")")
peak RSS (KiB)             $(printf '%10s %14s %9s' "$peak_tool" "$peak_bare" "$(ratio "$peak_tool" "$peak_bare")")
steady RSS (KiB)           $(printf '%10s %14s %9s' "$rss_tool" "$rss_bare" "$(ratio "$rss_tool" "$rss_bare")")
start to mapped (ms)       $(printf '%10s %14s %9s' "$start_tool" "$start_bare" "$(ratio "$start_tool" "$start_bare")")
idle CPU of the bare window doing the raw tick work: $cpu_raw ms (kelvoran / that: $(ratio "$cpu_tool" "$cpu_raw"))
arrival latency over $trials trials (ms): median $lat_median, p95 $lat_p95, max $lat_max
caption or taskbar rewrites in $steady s of steady state: $rewrites
REPORT
