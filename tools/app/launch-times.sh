#!/usr/bin/env bash
# Times the app's launch under a private Xvfb: from the start of the process
# to the first frame of the scene and to the scene being ready, as the app
# reports them with GLOAMYARD_LAUNCH_TIMES=1. Runs it RUNS times (default 3)
# after one warm-up run, so the file cache is warm.
#
#   tools/app/launch-times.sh [RUNS]
set -euo pipefail
runs=${1:-3}
root="$(cd "$(dirname "$0")/../.." && pwd)"
app="$root/build/dev/bin/gloamyard"
disp=90; while [ -e /tmp/.X11-unix/X$disp ]; do disp=$((disp+1)); done
Xvfb :$disp -ac -screen 0 1400x900x24 >/dev/null 2>&1 & xvfb=$!
trap 'kill $xvfb 2>/dev/null' EXIT
sleep 2
export DISPLAY=:$disp GLOAMYARD_LAUNCH_TIMES=1
config=$(mktemp -d); export XDG_CONFIG_HOME=$config
for run in $(seq 0 "$runs"); do
  log=$(mktemp)
  "$app" >/dev/null 2>"$log" & pid=$!
  for _ in $(seq 1 600); do grep -q 'ready after' "$log" && grep -q 'first frame after' "$log" && break; sleep 0.1; done
  kill -TERM $pid 2>/dev/null; wait $pid 2>/dev/null || true
  if [ "$run" -gt 0 ]; then echo "run $run: $(grep -h 'gloamyard:' "$log" | tr '\n' ' ')"; fi
  rm -f "$log"
done
rm -rf "$config"
