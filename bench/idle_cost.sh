#!/usr/bin/env bash
# What the program costs while it shows an unchanged screen: installs the program of a
# build folder into a fresh program folder, starts it there on a virtual display (Xvfb)
# with the curve-tracer simulator linked at ports/COM1, and for each scenario measures
# for a number of seconds the program's CPU use (% of one core), the display server's,
# the frames that reached the window per second, and at the end the program's peak
# resident memory.
#
# Scenarios, in this order:
#   idle       the screen after start (the newest sample run shown), not connected
#   connected  after CONNECT, high voltage off, the simulator streaming status frames
#   after-run  (with --run) connected, after a run of 25 sweeps with the simulator
#              ramping over up to 10,000 frames a sweep; the sweeps end at the set-up's
#              limits, so the curves hold as many points as they reach (the drawing
#              benchmark measures a full set of 25 x 10,001 points)
#
# Usage: bench/idle_cost.sh [--build DIR] [--seconds N] [--run]
#   --build DIR    build folder with the program, its tools and the benchmarks (default build)
#   --seconds N    length of each measurement (default 20)
#   --run          also measure after a run
set -euo pipefail

here="$(cd "$(dirname "$0")" && pwd)"
root="$(cd "$here/.." && pwd)"
build="$root/build"
seconds=20
full=0
while [ "$#" -gt 0 ]; do
  case "$1" in
    --build) build="$(cd "$2" && pwd)"; shift 2 ;;
    --seconds) seconds="$2"; shift 2 ;;
    --run) full=1; shift ;;
    *) echo "usage: $0 [--build DIR] [--seconds N] [--run]" >&2; exit 2 ;;
  esac
done

# On a virtual display of its own.
if [ -z "${ZOLT_IDLE_COST_DISPLAY:-}" ]; then
  export ZOLT_IDLE_COST_DISPLAY=1
  exec xvfb-run -a -n "$((100 + RANDOM % 2000))" -s "-screen 0 1920x1080x24 -nolisten tcp -noreset" \
    "$0" --build "$build" --seconds "$seconds" $([ "$full" = 1 ] && echo --run)
fi

counter="$build/bench/x11_draw_counter"
for tool in "$counter" "$build/zolt"; do
  [ -x "$tool" ] || { echo "idle_cost: $tool is missing; build the tree first" >&2; exit 1; }
done

program="$(mktemp -d /tmp/zolt-idle-cost.XXXXXX)"
sim_pid=""
zolt_pid=""
cleanup() {
  local status=$?
  set +e
  if [ -n "$zolt_pid" ]; then kill "$zolt_pid" 2>/dev/null; wait "$zolt_pid" 2>/dev/null; fi
  if [ -n "$sim_pid" ]; then kill "$sim_pid" 2>/dev/null; wait "$sim_pid" 2>/dev/null; fi
  rm -rf "$program"
  exit "$status"
}
trap cleanup EXIT

cmake --install "$build" --prefix "$program" >/dev/null
cd "$program"
tools/kvr-sim --write-cal settings/KVR820_cal.txt
sim_args=(--link ports/COM1)
[ "$full" = 1 ] && sim_args+=(--ramp-frames 10000 --frame-ms 0.5)
tools/kvr-sim "${sim_args[@]}" >/dev/null 2>&1 &
sim_pid=$!
for _ in $(seq 100); do [ -L ports/COM1 ] && break; sleep 0.05; done

./zolt >/dev/null 2>&1 &
zolt_pid=$!
window=""
for _ in $(seq 300); do
  window="$(xdotool search --name '^ZOLT ' 2>/dev/null | head -n 1 || true)"
  [ -n "$window" ] && break
  sleep 0.1
done
[ -n "$window" ] || { echo "idle_cost: the main window did not appear" >&2; exit 1; }
xvfb_pid="$(pgrep -n -x Xvfb || true)"
sleep 3

ticks="$(getconf CLK_TCK)"
# utime + stime of a process, in clock ticks.
cpu_ticks() { awk '{ print $14 + $15 }' "/proc/$1/stat" 2>/dev/null || echo 0; }

click() {
  xdotool mousemove --window "$window" "$1" "$2" click 1
  sleep 0.3
}

measure() {
  local name="$1"
  local z0 x0 z1 x1 frames
  z0="$(cpu_ticks "$zolt_pid")"
  x0="$(cpu_ticks "$xvfb_pid")"
  frames="$("$counter" "$window" "$seconds")"
  z1="$(cpu_ticks "$zolt_pid")"
  x1="$(cpu_ticks "$xvfb_pid")"
  awk -v n="$name" -v z=$((z1 - z0)) -v x=$((x1 - x0)) -v f="$frames" -v t="$ticks" -v s="$seconds" \
    'BEGIN { printf "%-10s program %5.1f %%   display server %5.1f %%   frames %6.1f /s\n", n, 100 * z / t / s, 100 * x / t / s, f / s }'
}

echo "idle_cost: ${seconds} s per scenario, $(nproc) cores, load $(cut -d' ' -f1-3 /proc/loadavg)"
measure idle

click 80 35     # CONNECT
sleep 3
measure connected

if [ "$full" = 1 ]; then
  click 224 35  # HV ENABLE
  sleep 1
  for _ in $(seq 30); do xdotool mousemove --window "$window" 283 560 click 1; sleep 0.05; done  # steps up to 24
  click 80 630  # RUN
  runs_before="$(ls sampleruns_KVR | wc -l)"
  for _ in $(seq 1200); do
    [ "$(ls sampleruns_KVR | wc -l)" -gt "$runs_before" ] && break
    sleep 0.5
  done
  sleep 3
  run="$(ls sampleruns_KVR | sort | tail -n 1)"
  echo "after the run: run file $run, $(($(wc -l < "sampleruns_KVR/$run") - 1)) points written"
  measure after-run
fi

echo "peak resident memory $(awk '/VmHWM/ { print $2, $3 }' "/proc/$zolt_pid/status")"
