#!/usr/bin/env bash
# Runs a command on a virtual display of its own (xvfb-run -a), 1920 x 1080 at 24 bits,
# and ends with the command's exit status. The search for a free display number starts
# at a random number, so that tests started side by side rarely race for the same one.
# The display keeps what a client set on it (such as resources) after that client ends.
#
# Usage: with_xvfb.sh [--screen WxH] COMMAND [ARGS...]
set -euo pipefail
screen=1920x1080
if [ "${1:-}" = "--screen" ]; then
  screen="$2"
  shift 2
fi
if [ "$#" -eq 0 ]; then
  echo "usage: $0 [--screen WxH] COMMAND [ARGS...]" >&2
  exit 2
fi
exec xvfb-run -a -n "$((100 + RANDOM % 2000))" -s "-screen 0 ${screen}x24 -nolisten tcp -noreset" "$@"
