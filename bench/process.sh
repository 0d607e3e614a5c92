#!/usr/bin/env bash
# Whole-process figures: Kelvoran beside a bare Qt window with the same controls, on one virtual
# display in the same run. Reports idle CPU and wake-ups, resident memory, start-up to mapped,
# arrival latency and caption/taskbar rewrites in steady state. Latency and the cost of the extra checks that the
# folder watch starts are set beside the same tool without the watch (kelvoran_tick_only); the
# 1,000,000-entry folder is the one bench_poll made. CPU comes from each process's own totals, so
# the time of threads that ended is counted; wake-ups are its context switches as perf counts
# them, threads started meanwhile included (root, or kernel.perf_event_paranoid at most 2).
#   KV_IDLE_SECONDS (60)  KV_TRIALS (30)  KV_STEADY_SECONDS (20)  KV_CHURN_SECONDS (20)
# KV_ONLY=million runs only the idle CPU in the 1,000,000-entry folder, the tool beside tick only.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
cd "$here"
source scripts/packages.sh
# shellcheck disable=SC2086
kv_install_missing $KV_BUILD_PACKAGES $KV_DISPLAY_PACKAGES libbenchmark-dev linux-perf
cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DKELVORAN_BUILD_TESTS=OFF \
    -DKELVORAN_BUILD_BENCH=ON >/dev/null
cmake --build build-bench >/dev/null
tool=$here/build-bench/src/kelvoran
bare=$here/build-bench/bench/bare_window
tick_only=$here/build-bench/bench/kelvoran_tick_only
churn=$here/build-bench/bench/kv_churn
million=${KV_BENCH_DIR:-/tmp/kelvoran-bench}/1000000
idle=${KV_IDLE_SECONDS:-60}
trials=${KV_TRIALS:-30}
steady=${KV_STEADY_SECONDS:-20}
churn_seconds=${KV_CHURN_SECONDS:-20}
export LC_ALL=C.UTF-8

kv_start_virtual_display
work=$(mktemp -d)
mkdir "$work/in"
printf '[KansiDir]\r\nfullpath=%s\r\n' "$work/in" >"$work/Kelvoran.ini"
pids=()
trap 'kill "${pids[@]}" $KV_WM_PID $KV_XVFB_PID 2>/dev/null || true; rm -rf "$work"' EXIT

now_ns() { date +%s%N; }
launch() { (cd "${KV_IN:-$work}" && exec "$@" >/dev/null 2>&1) & echo $!; }
mapped() { xdotool search --onlyvisible --pid "$1" 2>/dev/null | head -1; }
status_kib() { awk -v key="$2:" '$1 == key { print $2 }' /proc/"$1"/status; }
median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
# Runs the test "$@" until it holds, polling every $KV_POLL seconds; fails the run after
# $KV_WAIT_SECONDS (10), so a window that never maps or a text that never comes cannot hang it.
wait_for() { KV_POLL=${KV_POLL:-0} kv_wait_for "${KV_WAIT_SECONDS:-10}" "$*" "$@" || exit 1; }
is_mapped() { [ -n "$(mapped "$1")" ]; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (b > 0) printf "%.2f", a / b; else print "n/a" }'; }

# Idle CPU in the 1,000,000-entry folder, in % of one core over $idle s once both have settled
# ($KV_SETTLE_SECONDS, 10: the first walks, and the watch set up after them): the tool beside tick
# only, which walks the folder at every tick. Prints both, or why it cannot.
million_idle() {
    local with without with0 without0
    [ -f "$million/ready" ] || { echo "(no $million: run bench_poll first)"; return; }
    with=$(KV_IN=$million launch "$tool"); without=$(KV_IN=$million launch "$tick_only")
    pids+=("$with" "$without")
    for pid in "$with" "$without"; do KV_POLL=0.05 wait_for is_mapped "$pid"; done
    sleep "${KV_SETTLE_SECONDS:-10}"
    with0=$(kv_cpu_ns "$with"); without0=$(kv_cpu_ns "$without")
    sleep "$idle"
    awk -v a="$(($(kv_cpu_ns "$with") - with0))" -v b="$(($(kv_cpu_ns "$without") - without0))" -v s="$idle" \
        'BEGIN { printf "kelvoran %.1f %%, tick only %.1f %%\n", a / s / 1e7, b / s / 1e7 }'
    kill "$with" "$without"
}
if [ "${KV_ONLY:-}" = million ]; then
    echo "idle CPU in the 1,000,000-entry folder over $idle s (% of one core): $(million_idle)"
    exit 0
fi

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
# wakeups PID: the context switches of the process over the idle time, per second.
wakeups() {
    perf stat -x, -e context-switches -p "$1" -- sleep "$idle" 2>&1 >/dev/null |
        awk -F, -v s="$idle" '/context-switches/ { printf "%.2f", $1 / s }'
}
cpu_tool0=$(kv_cpu_ns "$tool_pid"); cpu_bare0=$(kv_cpu_ns "$bare_pid"); cpu_raw0=$(kv_cpu_ns "$raw_pid")
wakeups "$tool_pid" >"$work/wake_tool" & counting=($!)
wakeups "$bare_pid" >"$work/wake_bare" & counting+=($!)
wakeups "$raw_pid" >"$work/wake_raw" & counting+=($!)
wait "${counting[@]}"
cpu_tool=$((($(kv_cpu_ns "$tool_pid") - cpu_tool0) / 1000000)); cpu_bare=$((($(kv_cpu_ns "$bare_pid") - cpu_bare0) / 1000000))
cpu_raw=$((($(kv_cpu_ns "$raw_pid") - cpu_raw0) / 1000000))
wake_tool=$(cat "$work/wake_tool"); wake_bare=$(cat "$work/wake_bare"); wake_raw=$(cat "$work/wake_raw")
kill "$raw_pid"
peak_tool=$(status_kib "$tool_pid" VmHWM); peak_bare=$(status_kib "$bare_pid" VmHWM)
rss_tool=$(status_kib "$tool_pid" VmRSS); rss_bare=$(status_kib "$bare_pid" VmRSS)

# Arrival latency: one file into the empty folder at a random phase of the timer, timed from
# the windows' property events, the tool and the tool without its watch side by side.
window=$(mapped "$tool_pid")
tick_pid=$(launch "$tick_only")
pids+=("$tick_pid")
KV_POLL=0.05 wait_for is_mapped "$tick_pid"
tick_window=$(mapped "$tick_pid")
latency=$("$here/build-bench/bench/kv_arrival_latency" "$work/in" "$trials" \
    "kelvoran=$window:_NET_WM_NAME,$window:_NET_WM_ICON_NAME" \
    "tick only=$tick_window:_NET_WM_NAME,$tick_window:_NET_WM_ICON_NAME")

# CPU of the extra checks: the tool beside the tool without its watch while a file is created
# and deleted in the folder as fast as one core can. Prints both in % of one core, and the rounds.
cpu_under_churn() {
    local folder=$1 with=$2 without=$3 churn_pid with0 without0 rounds
    sleep 2
    with0=$(kv_cpu_ns "$with"); without0=$(kv_cpu_ns "$without")
    "$churn" "$folder" >"$work/rounds" & churn_pid=$!
    sleep "$churn_seconds"
    kill "$churn_pid"; wait "$churn_pid" || true
    rounds=$(cat "$work/rounds")
    awk -v a="$(($(kv_cpu_ns "$with") - with0))" -v b="$(($(kv_cpu_ns "$without") - without0))" \
        -v s="$churn_seconds" -v r="$rounds" \
        'BEGIN { printf "%.1f %.1f %.0f", a / s / 1e7, b / s / 1e7, r / s }'
}
read -r churn_tool churn_tick churn_rate <<<"$(cpu_under_churn "$work/in" "$tool_pid" "$tick_pid")"
million_idle_report=$(million_idle)
million_report="(no $million: run bench_poll first)"
if [ -f "$million/ready" ]; then
    big_tool=$(KV_IN=$million launch "$tool"); big_tick=$(KV_IN=$million launch "$tick_only")
    pids+=("$big_tool" "$big_tick")
    for pid in "$big_tool" "$big_tick"; do KV_POLL=0.05 wait_for is_mapped "$pid"; done
    read -r big_cpu_tool big_cpu_tick big_rate <<<"$(cpu_under_churn "$million/in" "$big_tool" "$big_tick")"
    kill "$big_tool" "$big_tick"
    million_report="kelvoran $big_cpu_tool %, tick only $big_cpu_tick % ($big_rate rounds/s)"
fi
kill "$tick_pid"

# Rewrites of caption or taskbar text while nothing changes.
texts() { xprop -id "$window" _NET_WM_NAME _NET_WM_ICON_NAME; }
both() { [ "$(texts | grep -c "\"$1\"")" -eq 2 ]; }
KV_POLL=0.05 wait_for both "監視中・・・・"
spy=$(timeout "$steady" xprop -spy -id "$window" _NET_WM_NAME _NET_WM_ICON_NAME || true)
rewrites=$(($(grep -c . <<<"$spy") - 2))

cat <<REPORT
machine: $(nproc) cores, $(awk '/MemTotal/ { printf "%.0f GiB", $2 / 1048576 }' /proc/meminfo), $(uname -r)
                           kelvoran        bare Qt     ratio
idle CPU over ${idle} s (ms)   $(printf '%10s %14s %9s' "$cpu_tool" "$cpu_bare" "$(ratio "$cpu_tool" "$cpu_bare")")
idle wake-ups a second     $(printf '%10s %14s %9s' "$wake_tool" "$wake_bare" "$(ratio "$wake_tool" "$wake_bare")")
peak RSS (KiB)             $(printf '%10s %14s %9s' "$peak_tool" "$peak_bare" "$(ratio "$peak_tool" "$peak_bare")")
steady RSS (KiB)           $(printf '%10s %14s %9s' "$rss_tool" "$rss_bare" "$(ratio "$rss_tool" "$rss_bare")")
start to mapped (ms)       $(printf '%10s %14s %9s' "$start_tool" "$start_bare" "$(ratio "$start_tool" "$start_bare")")
idle CPU of the bare window doing the raw tick work: $cpu_raw ms, $wake_raw wake-ups a second (kelvoran / that: $(ratio "$cpu_tool" "$cpu_raw"))
arrival latency over $trials trials at random phases:
$latency
CPU under a create/delete loop in the folder ($churn_seconds s, % of one core): kelvoran $churn_tool %, tick only $churn_tick % ($churn_rate rounds/s)
the same in the 1,000,000-entry folder: $million_report
idle CPU in the 1,000,000-entry folder over $idle s (% of one core): $million_idle_report
caption or taskbar rewrites in $steady s of steady state: $rewrites
REPORT
