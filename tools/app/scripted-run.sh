#!/usr/bin/env bash
# Drives the app through its main paths under a private Xvfb with xdotool
# and takes a screenshot after each step: skip the opening, click a pumpkin,
# drag to orbit, play "Lightning" from the pull-down, switch the vehicle,
# turn the sound on.
#
#   tools/app/scripted-run.sh OUTPUT-FOLDER [SECONDS-PER-STEP]
#
# Without a GPU the scene draws slowly (seconds a frame on a busy machine),
# so each step waits SECONDS-PER-STEP (default 40) before its screenshot.
set -euo pipefail
out=${1:?usage: scripted-run.sh OUTPUT-FOLDER [SECONDS-PER-STEP]}
step=${2:-40}
root="$(cd "$(dirname "$0")/../.." && pwd)"
app="$root/build/dev/bin/gloamyard"
mkdir -p "$out"

disp=80; while [ -e /tmp/.X11-unix/X$disp ]; do disp=$((disp+1)); done
Xvfb :$disp -ac -screen 0 1400x900x24 >/dev/null 2>&1 & xvfb=$!
trap 'kill $app_pid 2>/dev/null; kill $xvfb 2>/dev/null' EXIT
sleep 2
export DISPLAY=:$disp
# A private config folder: the run starts from the stored defaults.
export XDG_CONFIG_HOME="$out/config"
# Line-buffered, so that the engine's lines are in the log as they happen.
stdbuf -oL "$app" > "$out/gloamyard.log" 2>&1 & app_pid=$!

shot() { xwd -root -silent | convert xwd:- "$out/$1.png"; echo "wrote $out/$1.png"; }
title() {
  if xdotool search --name "$1" >/dev/null 2>&1; then echo "a window is titled $1"; else echo "no window titled $1"; fi
}
# Points in the window, whose top left the app places at (80, 100).
click() { xdotool mousemove $((80 + $1)) $((100 + $2)) click 1; }

sleep "$step"; shot 1-opening
click 619 573; sleep "$step"; shot 2-opening-skipped             # "Skip opening"
click 93 439; sleep "$step"; shot 3-pumpkin-clicked              # the pumpkin at the front left
xdotool mousemove 680 450 mousedown 1
for x in 700 740 780 820 860 900; do xdotool mousemove "$x" 445; sleep 0.3; done
xdotool mouseup 1; sleep "$step"; shot 4-orbited                 # dragged to the right
click 474 573; sleep 2; shot 5-play-effect-menu                  # "Play effect"
click 473 597                                                    # its first item, "Lightning"
for i in 1 2 3 4 5 6; do sleep 2; shot "6-lightning-$i"; done
sleep "$step"
click 148 573; sleep 2; xdotool key Down Return                  # the picker: the next vehicle
sleep 1; title "^Gloamyard · Loading Vantre…$"; shot 7-switching
sleep "$step"; title "^Gloamyard$"; shot 8-switched
click 102 36; sleep 5; shot 9-sound-on                           # "Sound off · Turn on"
grep -E '^(E4|Sound)' "$out/gloamyard.log" || true
kill -0 $app_pid && echo "the app is still running"
