#!/usr/bin/env bash
# Real-window check: starts a program on a virtual display, finds its window by title,
# checks the title and the client size, saves a screenshot, optionally checks pixel
# colours and clicks into the window, then closes the window with its close box and
# checks that the program ends by itself.
#
# Usage: real_window_check.sh [options] -- PROGRAM [ARGS...]
#   --title TEXT          the window's exact title (required; the window is found by it)
#   --size WxH            expected client size in pixels
#   --workdir DIR         working folder of the program (default: the current folder)
#   --artifacts DIR       where the screenshot and the program's output go (default: .)
#   --name NAME           base name of the artifacts (default: window)
#   --pixel X,Y,RRGGBB    expect this colour at client position X,Y (repeatable)
#   --click X,Y           left click at client position X,Y (repeatable, in order)
#   --double-click X,Y    left double click at client position X,Y (repeatable)
#   --check COMMAND       shell command run (in the working folder) after the program
#                         ended; it must succeed (repeatable)
#   --wait SECONDS        how long to wait for the window (default 30)
#   --settle SECONDS      pause between finding the window and the screenshot (default 2)
#   --end SECONDS         how long the program may take to end after the close (default 5)
#   --exit-code N         the exit status the program must end with (default 0)
#   --close-tool PATH     the WM_DELETE_WINDOW sender (default: x11_close_window beside
#                         this script, then on the PATH)
#
# Runs itself under with_xvfb.sh (xvfb-run -a) unless ZOLT_REAL_WINDOW_DISPLAY=current.
# Clicks go through xdotool and happen after the screenshot, in the order given.
set -uo pipefail

here="$(cd "$(dirname "$0")" && pwd)"
if [ "${ZOLT_REAL_WINDOW_DISPLAY:-}" != "current" ]; then
  export ZOLT_REAL_WINDOW_DISPLAY=current
  exec "$here/with_xvfb.sh" "$0" "$@"
fi

title=""
size=""
workdir="$PWD"
artifacts="$PWD"
name="window"
pixels=()
actions=()
checks=()
wait_seconds=30
settle_seconds=2
end_seconds=5
exit_code=0
close_tool=""
while [ "$#" -gt 0 ]; do
  case "$1" in
    --title) title="$2"; shift 2 ;;
    --size) size="$2"; shift 2 ;;
    --workdir) workdir="$2"; shift 2 ;;
    --artifacts) artifacts="$2"; shift 2 ;;
    --name) name="$2"; shift 2 ;;
    --pixel) pixels+=("$2"); shift 2 ;;
    --click) actions+=("click $2"); shift 2 ;;
    --double-click) actions+=("double $2"); shift 2 ;;
    --check) checks+=("$2"); shift 2 ;;
    --wait) wait_seconds="$2"; shift 2 ;;
    --settle) settle_seconds="$2"; shift 2 ;;
    --end) end_seconds="$2"; shift 2 ;;
    --exit-code) exit_code="$2"; shift 2 ;;
    --close-tool) close_tool="$2"; shift 2 ;;
    --) shift; break ;;
    *) echo "real_window_check: unknown option $1" >&2; exit 2 ;;
  esac
done
if [ -z "$title" ] || [ "$#" -eq 0 ]; then
  echo "usage: $0 --title TEXT [options] -- PROGRAM [ARGS...]" >&2
  exit 2
fi
if [ -z "$close_tool" ]; then
  if [ -x "$here/x11_close_window" ]; then close_tool="$here/x11_close_window"
  else close_tool="$(command -v x11_close_window || true)"; fi
fi
if [ -z "$close_tool" ]; then
  echo "real_window_check: no x11_close_window tool (use --close-tool)" >&2
  exit 2
fi

mkdir -p "$artifacts"
artifacts="$(cd "$artifacts" && pwd)"
screenshot="$artifacts/$name.png"
out_log="$artifacts/$name.stdout.txt"
err_log="$artifacts/$name.stderr.txt"
failures=0
pid=""

# True while the process runs. A finished child that bash has not reaped yet does not
# count, nor one reaped while we look (its /proc entry is gone).
running() {
  local state
  state="$(sed 's/.*) //' "/proc/$1/stat" 2>/dev/null | cut -c1)"
  [ -n "$state" ] && [ "$state" != "Z" ] && [ "$state" != "X" ]
}

fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

finish() {
  if [ -n "$pid" ] && running "$pid"; then
    kill "$pid" 2>/dev/null
    sleep 0.5
    kill -9 "$pid" 2>/dev/null
  fi
  if [ "$failures" -gt 0 ]; then
    echo "--- program stdout ($out_log)" >&2; tail -n 40 "$out_log" >&2 2>/dev/null
    echo "--- program stderr ($err_log)" >&2; tail -n 40 "$err_log" >&2 2>/dev/null
    echo "real_window_check: $failures failure(s); screenshot: $screenshot" >&2
    exit 1
  fi
  echo "real_window_check: passed; screenshot: $screenshot"
  exit 0
}

# ---- start the program and find its window ----

(cd "$workdir" && exec "$@") >"$out_log" 2>"$err_log" &
pid=$!

pattern="^$(printf '%s' "$title" | sed 's/[][\.*^$(){}+?|/]/\\&/g')\$"
window=""
deadline=$((SECONDS + wait_seconds))
while [ -z "$window" ] && [ "$SECONDS" -lt "$deadline" ]; do
  if ! running "$pid"; then
    fail "the program ended before its window appeared"
    pid=""
    finish
  fi
  for candidate in $(xdotool search --onlyvisible --name "$pattern" 2>/dev/null); do
    if [ "$(xdotool getwindowname "$candidate" 2>/dev/null)" = "$title" ]; then
      window="$candidate"
      break
    fi
  done
  [ -n "$window" ] || sleep 0.2
done
if [ -z "$window" ]; then
  fail "no visible window titled \"$title\" within $wait_seconds s"
  import -window root "$screenshot" 2>/dev/null
  finish
fi
echo "window $window: \"$(xdotool getwindowname "$window")\""

# ---- client size ----

info="$(xwininfo -id "$window")"
width="$(awk '/^  Width:/ {print $2}' <<<"$info")"
height="$(awk '/^  Height:/ {print $2}' <<<"$info")"
left="$(awk '/Absolute upper-left X:/ {print $4}' <<<"$info")"
top="$(awk '/Absolute upper-left Y:/ {print $4}' <<<"$info")"
echo "client area ${width}x${height} at ($left, $top)"
if [ -n "$size" ] && [ "${width}x${height}" != "$size" ]; then
  fail "client size ${width}x${height}, expected $size"
fi

# ---- screenshot and pixels ----

sleep "$settle_seconds"
if ! import -window root "$screenshot"; then
  fail "could not save the screenshot"
fi
for spec in "${pixels[@]}"; do
  IFS=, read -r px py colour <<<"$spec"
  seen="$(convert "$screenshot" -format "%[hex:u.p{$((left + px)),$((top + py))}]" info: 2>/dev/null)"
  if [ "${seen^^}" != "${colour^^}" ]; then
    fail "pixel ($px, $py) is $seen, expected $colour"
  fi
done

# ---- clicks ----

for action in "${actions[@]}"; do
  read -r kind at <<<"$action"
  IFS=, read -r cx cy <<<"$at"
  xdotool mousemove --window "$window" "$cx" "$cy"
  sleep 0.2
  if [ "$kind" = "double" ]; then
    xdotool click --repeat 2 --delay 80 1
  else
    xdotool click 1
  fi
  # Far enough apart that two single clicks never count as a double click.
  sleep 0.6
done

# ---- close box, and the program must end by itself ----

if ! "$close_tool" "$window"; then
  fail "could not send the close message"
  finish
fi
closed_at=$(date +%s%N)
echo "close sent at $((closed_at / 1000000))"
deadline=$((SECONDS + end_seconds))
while running "$pid" && [ "$SECONDS" -le "$deadline" ]; do sleep 0.1; done
if running "$pid"; then
  fail "the program did not end within $end_seconds s of the close"
  echo "--- program state: $(grep -E '^State' "/proc/$pid/status")" >&2
  for task in /proc/"$pid"/task/*; do
    echo "    thread $(cat "$task/comm"): $(grep -E '^State' "$task/status") in $(cat "$task/wchan")" >&2
  done
  finish
fi
wait "$pid"
status=$?
pid=""
echo "the program ended $(( ($(date +%s%N) - closed_at) / 1000000 )) ms after the close, status $status"
if [ "$status" -ne "$exit_code" ]; then
  fail "the program ended with status $status, expected $exit_code"
fi

for check in "${checks[@]}"; do
  if ! (cd "$workdir" && bash -c "$check"); then
    fail "check failed: $check"
  fi
done
finish
