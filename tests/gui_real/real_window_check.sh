#!/usr/bin/env bash
# Real-window check: starts a program on a virtual display, finds its window by title,
# checks the title and the client size, saves a screenshot, optionally checks pixel
# colours, then works through a list of actions (clicks, drags, resizes, and waits for
# files, colours and changes on screen), closes the window with its close box and checks
# that the program ends by itself.
#
# Usage: real_window_check.sh [options] -- PROGRAM [ARGS...]
#   --title TEXT          the window's exact title (required; the window is found by it)
#   --size WxH            expected client size in pixels
#   --workdir DIR         working folder of the program (default: the current folder)
#   --artifacts DIR       where the screenshot and the program's output go (default: .)
#   --name NAME           base name of the artifacts (default: window)
#   --pixel X,Y,RRGGBB    expect this colour at client position X,Y (repeatable)
#   --background COMMAND  shell command started in the working folder before the program
#                         (a simulated instrument, say) and stopped (SIGTERM) at the end
#   --window-manager COMMAND
#                         a window manager started on the display before the program (and
#                         waited for until it runs), stopped at the end
#   --check COMMAND       shell command run (in the working folder) after the program
#                         ended; it must succeed (repeatable)
#   --wait SECONDS        how long to wait for the window (default 30)
#   --timeout SECONDS     how long each waiting action below may wait (default 60)
#   --settle SECONDS      pause between finding the window and the screenshot (default 2)
#   --end SECONDS         how long the program may take to end after the close (default 5)
#   --exit-code N         the exit status the program must end with (default 0)
#   --close-tool PATH     the WM_DELETE_WINDOW sender (default: x11_close_window beside
#                         this script, then on the PATH)
#
# Actions, done in the order given after the first screenshot (client coordinates; a
# region is X1,Y1,X2,Y2 with both corners inside it). A wait that runs out fails the
# check and ends the list. Clicks, drags, typing and sizes concern the target window:
# the program's window, or the one chosen by --window.
#   --click X,Y           left click
#   --double-click X,Y    left double click
#   --drag X1,Y1,X2,Y2    press the left button at X1,Y1, move to X2,Y2 in steps, release
#   --type TEXT           replace the text of the focused field by TEXT, typed key by key
#   --key KEYS            press keys as xdotool names them (e.g. ctrl+l, Return)
#   --window TITLE        wait until a visible window of that exact title exists and make
#                         it the target
#   --expect-size WxH     the target's client area must have that size
#   --close-window        close the target with its close box (as --wait-closed)
#   --wait-closed         wait until the target is gone; the program's window is the
#                         target again
#   --destroy-window      destroy the target from another client, as any program on the
#                         display can; ends the list, and the program must then end by
#                         itself (no close is sent)
#   --resize WxH          resize the window, and wait until its client area has that size
#   --wait-file GLOB      wait until a file matching GLOB exists (in the working folder)
#   --wait-text FILE,REGEX
#                         wait until a line of FILE (in the working folder) matches REGEX
#   --pause SECONDS       wait that long
#   --wait-colour X1,Y1,X2,Y2,RRGGBB
#                         wait until some pixel of the region has the colour
#   --screenshot NAME     save a screenshot as NAME.png among the artifacts
#   --wait-change NAME,X1,Y1,X2,Y2
#                         wait until the region differs from the screenshot NAME
#
# Runs itself under with_xvfb.sh (xvfb-run -a) unless ZOLT_REAL_WINDOW_DISPLAY=current.
# Pointer and window actions go through xdotool; screenshots through ImageMagick.
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
background=""
background_pid=""
window_manager=""
window_manager_pid=""
timeout_seconds=60
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
    --drag) actions+=("drag $2"); shift 2 ;;
    --type) actions+=("type $2"); shift 2 ;;
    --key) actions+=("key $2"); shift 2 ;;
    --window) actions+=("window $2"); shift 2 ;;
    --expect-size) actions+=("expect-size $2"); shift 2 ;;
    --close-window) actions+=("close-window -"); shift ;;
    --wait-closed) actions+=("wait-closed -"); shift ;;
    --destroy-window) actions+=("destroy-window -"); shift ;;
    --resize) actions+=("resize $2"); shift 2 ;;
    --wait-file) actions+=("wait-file $2"); shift 2 ;;
    --wait-colour) actions+=("wait-colour $2"); shift 2 ;;
    --screenshot) actions+=("screenshot $2"); shift 2 ;;
    --wait-change) actions+=("wait-change $2"); shift 2 ;;
    --background) background="$2"; shift 2 ;;
    --window-manager) window_manager="$2"; shift 2 ;;
    --wait-text) actions+=("wait-text $2"); shift 2 ;;
    --pause) actions+=("pause $2"); shift 2 ;;
    --timeout) timeout_seconds="$2"; shift 2 ;;
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
bg_log="$artifacts/$name.background.txt"
failures=0
pid=""
destroyed=""

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

stop_background() {
  if [ -n "$background_pid" ] && running "$background_pid"; then
    kill "$background_pid" 2>/dev/null
    for _ in $(seq 50); do running "$background_pid" || break; sleep 0.1; done
    kill -9 "$background_pid" 2>/dev/null
  fi
  [ -n "$background_pid" ] && wait "$background_pid" 2>/dev/null
  background_pid=""
}

finish() {
  if [ -n "$pid" ] && running "$pid"; then
    kill "$pid" 2>/dev/null
    sleep 0.5
    kill -9 "$pid" 2>/dev/null
  fi
  stop_background
  if [ -n "$window_manager_pid" ]; then
    kill "$window_manager_pid" 2>/dev/null
    wait "$window_manager_pid" 2>/dev/null
  fi
  if [ "$failures" -gt 0 ]; then
    echo "--- program stdout ($out_log)" >&2; tail -n 40 "$out_log" >&2 2>/dev/null
    echo "--- program stderr ($err_log)" >&2; tail -n 40 "$err_log" >&2 2>/dev/null
    if [ -n "$background" ]; then
      echo "--- background output ($bg_log)" >&2; tail -n 20 "$bg_log" >&2 2>/dev/null
    fi
    echo "real_window_check: $failures failure(s); screenshot: $screenshot" >&2
    exit 1
  fi
  echo "real_window_check: passed; screenshot: $screenshot"
  exit 0
}

# ---- start the program and find its window ----

if [ -n "$window_manager" ]; then
  bash -c "exec $window_manager" >"$artifacts/$name.window_manager.txt" 2>&1 &
  window_manager_pid=$!
  wm_deadline=$((SECONDS + 10))
  until xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'; do
    if [ "$SECONDS" -ge "$wm_deadline" ] || ! running "$window_manager_pid"; then
      fail "the window manager ($window_manager) did not start"
      finish
    fi
    sleep 0.1
  done
fi
if [ -n "$background" ]; then
  (cd "$workdir" && exec bash -c "exec $background") >"$bg_log" 2>&1 &
  background_pid=$!
fi
(cd "$workdir" && exec "$@") >"$out_log" 2>"$err_log" &
pid=$!

# Sets `found` to a visible window titled exactly $1; false when there is none.
find_window() {
  local pattern candidate
  pattern="^$(printf '%s' "$1" | sed 's/[][\.*^$(){}+?|/]/\\&/g')\$"
  found=""
  for candidate in $(xdotool search --onlyvisible --name "$pattern" 2>/dev/null); do
    if [ "$(xdotool getwindowname "$candidate" 2>/dev/null)" = "$1" ]; then
      found="$candidate"
      return 0
    fi
  done
  return 1
}

window=""
deadline=$((SECONDS + wait_seconds))
while [ -z "$window" ] && [ "$SECONDS" -lt "$deadline" ]; do
  if ! running "$pid"; then
    fail "the program ended before its window appeared"
    pid=""
    finish
  fi
  if find_window "$title"; then window="$found"; else sleep 0.2; fi
done
if [ -z "$window" ]; then
  fail "no visible window titled \"$title\" within $wait_seconds s"
  import -window root "$screenshot" 2>/dev/null
  finish
fi
echo "window $window: \"$(xdotool getwindowname "$window")\""
target="$window"

# ---- client size ----

measure_window() {
  local info
  info="$(xwininfo -id "$window")"
  width="$(awk '/^  Width:/ {print $2}' <<<"$info")"
  height="$(awk '/^  Height:/ {print $2}' <<<"$info")"
  left="$(awk '/Absolute upper-left X:/ {print $4}' <<<"$info")"
  top="$(awk '/Absolute upper-left Y:/ {print $4}' <<<"$info")"
}
measure_window
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

# ---- actions ----

shot="$artifacts/$name.current.png"

# Saves the screen to $1.
grab() { import -window root "$1" 2>/dev/null; }

# The crop geometry of client region X1,Y1,X2,Y2 on the screen.
region() {
  local x1 y1 x2 y2
  IFS=, read -r x1 y1 x2 y2 <<<"$1"
  echo "$((x2 - x1 + 1))x$((y2 - y1 + 1))+$((left + x1))+$((top + y1))"
}

# True when some pixel of region $2 in screenshot $1 has colour $3 (RRGGBB).
region_has_colour() {
  local histogram
  histogram="$(convert "$1" -crop "$(region "$2")" +repage -alpha off -format %c histogram:info:- 2>/dev/null)"
  grep -qi " #$3\b" <<<"$histogram"
}

# True when region $3 differs between screenshots $1 and $2.
region_differs() {
  local geometry differing
  geometry="$(region "$3")"
  differing="$(compare -metric AE <(convert "$1" -crop "$geometry" +repage -alpha off png:-) \
    <(convert "$2" -crop "$geometry" +repage -alpha off png:-) null: 2>&1)"
  [ "${differing%% *}" != "0" ]
}

# Runs "$@" until it succeeds or the action time-out passes.
wait_until() {
  local deadline=$((SECONDS + timeout_seconds))
  while ! "$@"; do
    if ! running "$pid"; then return 1; fi
    if [ "$SECONDS" -ge "$deadline" ]; then return 1; fi
    sleep 0.3
  done
}

file_there() { (cd "$workdir" && compgen -G "$1" >/dev/null); }
text_there() { (cd "$workdir" && grep -qE "$2" "$1" 2>/dev/null); }
colour_there() { grab "$shot" && region_has_colour "$shot" "$1" "$2"; }
changed_from() { grab "$shot" && region_differs "$1" "$shot" "$2"; }
size_is() { measure_window; [ "${width}x${height}" = "$1" ]; }
target_size() { xwininfo -id "$target" | awk '/^  Width:/ {w = $2} /^  Height:/ {h = $2} END {print w "x" h}'; }
target_gone() { ! xwininfo -id "$target" 2>/dev/null | grep -q IsViewable; }

for action in "${actions[@]}"; do
  read -r kind at <<<"$action"
  echo "[$SECONDS s] $kind $at"
  case "$kind" in
    click|double)
      IFS=, read -r cx cy <<<"$at"
      xdotool mousemove --window "$target" "$cx" "$cy"
      sleep 0.2
      if [ "$kind" = "double" ]; then
        xdotool click --repeat 2 --delay 80 1
      else
        xdotool click 1
      fi
      # Far enough apart that two single clicks never count as a double click.
      sleep 0.6
      ;;
    drag)
      IFS=, read -r x1 y1 x2 y2 <<<"$at"
      xdotool mousemove --window "$target" "$x1" "$y1"
      sleep 0.2
      xdotool mousedown 1
      sleep 0.3
      for step in 1 2 3 4 5 6 7 8 9 10; do
        xdotool mousemove --window "$target" $((x1 + (x2 - x1) * step / 10)) $((y1 + (y2 - y1) * step / 10))
        sleep 0.05
      done
      sleep 0.3
      xdotool mouseup 1
      sleep 0.6
      ;;
    type)
      xdotool key --clearmodifiers ctrl+a BackSpace
      xdotool type --delay 40 "$at"
      sleep 0.5
      ;;
    key)
      xdotool key --clearmodifiers $at
      sleep 0.5
      ;;
    window)
      if ! wait_until find_window "$at"; then
        fail "no visible window titled \"$at\" within $timeout_seconds s"
        break
      fi
      target="$found"
      echo "window $target: \"$at\", client area $(target_size)"
      ;;
    expect-size)
      if [ "$(target_size)" != "$at" ]; then
        fail "client size of window $target is $(target_size), expected $at"
      fi
      ;;
    close-window|wait-closed)
      if [ "$kind" = "close-window" ] && ! "$close_tool" "$target"; then
        fail "could not send the close message to window $target"
        break
      fi
      if ! wait_until target_gone; then
        fail "window $target did not close within $timeout_seconds s"
        break
      fi
      target="$window"
      ;;
    destroy-window)
      if ! "$close_tool" --destroy "$target"; then
        fail "could not destroy window $target"
      fi
      destroyed=1
      break
      ;;
    resize)
      xdotool windowsize "$window" "${at%x*}" "${at#*x}"
      if ! wait_until size_is "$at"; then
        fail "the client area is ${width}x${height} after the resize, expected $at"
        break
      fi
      echo "client area ${width}x${height} at ($left, $top)"
      ;;
    wait-file)
      if ! wait_until file_there "$at"; then
        fail "no file $at in $workdir within $timeout_seconds s"
        break
      fi
      ;;
    wait-text)
      if ! wait_until text_there "${at%%,*}" "${at#*,}"; then
        fail "no line matching ${at#*,} in ${at%%,*} within $timeout_seconds s"
        break
      fi
      ;;
    pause)
      sleep "$at"
      ;;
    wait-colour)
      colour="${at##*,}"
      if ! wait_until colour_there "${at%,*}" "$colour"; then
        cp "$shot" "$artifacts/$name.failed.png" 2>/dev/null
        fail "no pixel of colour $colour in region ${at%,*} within $timeout_seconds s"
        break
      fi
      ;;
    screenshot)
      if ! grab "$artifacts/$at.png"; then
        fail "could not save the screenshot $at"
      fi
      ;;
    wait-change)
      reference="$artifacts/${at%%,*}.png"
      if ! wait_until changed_from "$reference" "${at#*,}"; then
        cp "$shot" "$artifacts/$name.failed.png" 2>/dev/null
        fail "region ${at#*,} did not change from ${at%%,*}.png within $timeout_seconds s"
        break
      fi
      ;;
  esac
  if ! running "$pid"; then
    fail "the program ended during the actions"
    pid=""
    finish
  fi
done
rm -f "$shot"

# ---- close box, and the program must end by itself ----

if [ -z "$destroyed" ] && ! "$close_tool" "$window"; then
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
