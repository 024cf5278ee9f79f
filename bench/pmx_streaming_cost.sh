#!/usr/bin/env bash
# What the power analyser costs while it streams: installs the program of a build folder
# into a fresh program folder laid out as `scripts/run --pmx-sim` lays it out (the
# simulator beside the program as libftd2xx.so, the folder's settings naming the PMX40),
# starts it on a virtual display (Xvfb, 1920 x 1080) with its window at 1400 x 800,
# presses Connect, waits until the stream runs, and measures for a number of seconds the
# program's CPU use and the display server's, each in % of one core, from the utime and
# stime of /proc/<pid>/stat. Target: the program at most 15 %.
#
# Usage: bench/pmx_streaming_cost.sh [--build DIR] [--seconds N] [--options "SIM OPTIONS"]
#   --build DIR        build folder with the program and the simulator (default build)
#   --seconds N        length of the measurement (default 20)
#   --options TEXT     PMX_SIM_OPTIONS for the simulator (default none: 50 Hz, 325 V, 5 A)
set -euo pipefail

here="$(cd "$(dirname "$0")" && pwd)"
root="$(cd "$here/.." && pwd)"
build="$root/build"
seconds=20
options=""
while [ "$#" -gt 0 ]; do
  case "$1" in
    --build) build="$(cd "$2" && pwd)"; shift 2 ;;
    --seconds) seconds="$2"; shift 2 ;;
    --options) options="$2"; shift 2 ;;
    *) echo "usage: $0 [--build DIR] [--seconds N] [--options TEXT]" >&2; exit 2 ;;
  esac
done

# On a virtual display of its own; its server is this script's parent's child, found
# below by its display number.
if [ -z "${ZOLT_PMX_COST_DISPLAY:-}" ]; then
  export ZOLT_PMX_COST_DISPLAY=1
  exec xvfb-run -a -n "$((100 + RANDOM % 2000))" -s "-screen 0 1920x1080x24 -nolisten tcp -noreset" \
    "$0" --build "$build" --seconds "$seconds" --options "$options"
fi

[ -x "$build/zolt" ] || { echo "pmx_streaming_cost: $build/zolt is missing; build the tree first" >&2; exit 1; }

program="$(mktemp -d /tmp/zolt-pmx-cost.XXXXXX)"
zolt_pid=""
cleanup() {
  if [ -n "$zolt_pid" ]; then
    kill "$zolt_pid" 2>/dev/null || true
    wait "$zolt_pid" 2>/dev/null || true
  fi
  rm -rf "$program"
}
trap cleanup EXIT

cmake --install "$build" --prefix "$program" >/dev/null
cd "$program"
ln -s tools/pmx-sim/libftd2xx.so libftd2xx.so
printf 'activeInstrument=PMX40\r\n' > settings/system_settings.txt

PMX_SIM_OPTIONS="$options" ./zolt >/dev/null 2>&1 &
zolt_pid=$!
window=""
for _ in $(seq 300); do
  window="$(xdotool search --onlyvisible --name '^ZOLT .*PMX40' 2>/dev/null | head -n 1 || true)"
  [ -n "$window" ] && break
  sleep 0.1
done
[ -n "$window" ] || { echo "pmx_streaming_cost: the main window did not appear" >&2; exit 1; }

# The display server of this display (xvfb-run starts "Xvfb :N ...").
xvfb_pid="$(pgrep -x Xvfb -a | awk -v d="${DISPLAY}" '$3 == d { print $1; exit }')"
sleep 2

xdotool mousemove --window "$window" 34 29 click 1  # Connect
# Connected once the step line's PMX_cal.txt is there and the stream has run a while.
for _ in $(seq 100); do [ -s PMX_cal.txt ] && break; sleep 0.1; done
[ -s PMX_cal.txt ] || { echo "pmx_streaming_cost: no connection (no PMX_cal.txt)" >&2; exit 1; }
sleep 3

ticks="$(getconf CLK_TCK)"
# utime + stime of a process, in clock ticks.
cpu_ticks() { awk '{ print $14 + $15 }' "/proc/$1/stat" 2>/dev/null || echo 0; }

z0="$(cpu_ticks "$zolt_pid")"
x0="$( [ -n "$xvfb_pid" ] && cpu_ticks "$xvfb_pid" || echo 0)"
sleep "$seconds"
z1="$(cpu_ticks "$zolt_pid")"
x1="$( [ -n "$xvfb_pid" ] && cpu_ticks "$xvfb_pid" || echo 0)"
kill -0 "$zolt_pid" 2>/dev/null || { echo "pmx_streaming_cost: the program ended" >&2; exit 1; }

echo "pmx_streaming_cost: ${seconds} s streaming, $(nproc) cores, load $(cut -d' ' -f1-3 /proc/loadavg)"
awk -v z=$((z1 - z0)) -v x=$((x1 - x0)) -v t="$ticks" -v s="$seconds" -v xs="${xvfb_pid:-}" \
  'BEGIN {
     printf "program        %5.1f %% of one core (target <= 15 %%)\n", 100 * z / t / s
     if (xs != "") printf "display server %5.1f %% of one core\n", 100 * x / t / s
   }'
