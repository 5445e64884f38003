#!/usr/bin/env bash
# The desktop player measured as a whole program, by hand: ./bench/kyvplayer/measure.sh
# Starts its own Xvfb, registry, settings and session-less environment; every figure is the
# median of 5 runs.
#   start   start of `kyvplayer --screenshot` to the saved first picture (the sample, playing
#           and paused at 5 s)
#   cpu     processor time per second of wall time over 5 s, playing the sample and paused
#   rss     resident memory after 5 s playing a 1920 x 1080 recording
set -euo pipefail
cd "$(dirname "$0")/../.."
build=build/default
player=$build/apps/kyvplayer/kyvplayer tool=$build/apps/kyvtool/kyvtool
[ -x "$player" ] && [ -x "$tool" ] || { echo "build first: ./dev build" >&2; exit 1; }
work=$(mktemp -d)
xvfb_pid=
cleanup() { [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null; rm -rf "$work"; }
trap cleanup EXIT

exec 3>"$work/display"
Xvfb -displayfd 3 -screen 0 1920x1200x24 -nolisten tcp 2>/dev/null &
xvfb_pid=$!
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.05; done
export DISPLAY=":$(head -1 "$work/display")" KYV_REGISTRY=$work/registry
export XDG_CONFIG_HOME=$work/config KYV_CACHE_DIR=$work/cache KYV_LOG_DIR=$work/log
unset DBUS_SESSION_BUS_ADDRESS WAYLAND_DISPLAY

"$tool" make-sample "$work/sample.kyv" >/dev/null
"$tool" make-sample "$work/hd.kyv" --width 1920 --height 1080 >/dev/null
"$player" --version >/dev/null
"$player" "$work/sample.kyv" --paused --screenshot "$work/warm.png" 2>/dev/null || true

median() { sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
ticks=$(getconf CLK_TCK)
# Processor seconds (user + system) of a process so far.
cpu_of() { awk -v t="$ticks" '{print ($14 + $15) / t}' "/proc/$1/stat"; }

# Milliseconds from the start of the player with these arguments to its saved screenshot.
start_to_shot() {
  local start
  start=$(date +%s%N)
  "$player" "$work/sample.kyv" "$@" --screenshot "$work/shot.png" 2>/dev/null
  echo $(( ($(date +%s%N) - start) / 1000000 ))
}
# Playing, the first picture is there once a frame has been shown; paused at a position, once
# the picture has stood still for four looks 50 ms apart (200 ms of the figure).
for _ in 1 2 3 4 5; do start_to_shot; done | median |
  sed 's/^/start to first picture, playing (ms): /'
for _ in 1 2 3 4 5; do start_to_shot --at 5000 --paused; done | median |
  sed 's/^/start to first picture, paused at 5 s (ms): /'

# Processor use per wall second over 5 s after a 2 s start, for the player with extra arguments.
cpu_share() {
  "$player" "$@" 2>/dev/null &
  local pid=$!
  sleep 2
  local before after
  before=$(cpu_of $pid)
  sleep 5
  after=$(cpu_of $pid)
  kill $pid; wait $pid 2>/dev/null || true
  awk -v a="$after" -v b="$before" 'BEGIN {printf "%.4f\n", (a - b) / 5}'
}
for _ in 1 2 3 4 5; do cpu_share "$work/sample.kyv"; done | median |
  sed 's/^/processor while playing the sample (s per s): /'
for _ in 1 2 3 4 5; do cpu_share "$work/sample.kyv" --paused; done | median |
  sed 's/^/processor while paused (s per s): /'

for _ in 1 2 3 4 5; do
  "$player" "$work/hd.kyv" 2>/dev/null &
  pid=$!
  sleep 5
  awk '/VmRSS/ {print $2}' "/proc/$pid/status"
  kill $pid; wait $pid 2>/dev/null || true
done | median | sed 's/^/resident memory playing 1920 x 1080 (KiB): /'
