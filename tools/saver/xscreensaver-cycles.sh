#!/usr/bin/env bash
# Blank/unblank cycles under a real XScreenSaver daemon, run by an ordinary
# user on a private Xvfb (XScreenSaver runs no display modes for root).
# For each cycle: activate, wait for the mode to draw, deactivate, and time
# how long the mode's process takes to end once the daemon has answered; afterwards, check that no mode
# process is left and that the daemon still runs.
# Needs: xscreensaver, xvfb, and to be run as root (it makes the user).
# Usage: tools/saver/xscreensaver-cycles.sh CYCLES 'MODE COMMAND LINE' [USER]
set -u
cycles=$1; mode=$2; user=${3:-saverdemo}
id "$user" >/dev/null 2>&1 || useradd -m "$user"
home=$(getent passwd "$user" | cut -d: -f6)
out=$(mktemp -d /tmp/xscreensaver-cycles-XXXXXX); chmod 777 "$out"
disp=90; while [ -e /tmp/.X11-unix/X$disp ]; do disp=$((disp+1)); done
Xvfb :$disp -ac -screen 0 1280x720x24 -nolisten tcp >/dev/null 2>&1 & xvfb=$!
sleep 2
cat > "$home/.xscreensaver" <<CONF
timeout:	0:30:00
lock:		False
splash:		False
fade:		False
unfade:		False
mode:		one
selected:	0
programs:	\\
		$mode \\n\\

CONF
chown "$user" "$home/.xscreensaver"
as_user() { su "$user" -s /bin/bash -c "DISPLAY=:$disp $1"; }
as_user "xscreensaver --no-splash >$out/daemon.log 2>&1 & echo \$! > $out/daemon.pid"
sleep 3
daemon=$(cat "$out/daemon.pid")
# The program's name, without the list's "-" (disabled) and "GL:" marks.
prog=$(basename "$(echo "$mode" | sed -E 's/^[[:space:]]*-?[[:space:]]*(GL:)?[[:space:]]*//' | awk '{print $1}')")
ran=0; worst=0; ends=""
for cycle in $(seq 1 "$cycles"); do
  as_user "xscreensaver-command -activate" >/dev/null 2>&1
  pid=""
  for i in $(seq 1 100); do pid=$(pgrep -u "$user" -x "${prog:0:15}" | head -n1); [ -n "$pid" ] && break; sleep 0.1; done
  sleep 4
  as_user "xscreensaver-command -deactivate" >/dev/null 2>&1
  # From the daemon's answer: starting su and the command is not the mode's time.
  t0=$(date +%s.%N)
  took="none"
  if [ -n "$pid" ]; then
    ran=$((ran+1))
    for i in $(seq 1 50); do
      if ! kill -0 "$pid" 2>/dev/null; then took=$(awk -v a="$t0" -v b="$(date +%s.%N)" 'BEGIN{printf "%.2f", b-a}'); break; fi
      sleep 0.02
    done
    [ "$took" = none ] && took="still running after 1 s"
  fi
  echo "cycle $cycle: mode pid ${pid:-none (the daemon ran no mode this time)}, ended after $took s"
  ends="$ends $took"
  sleep 1
done
sleep 2
left=$(pgrep -u "$user" -x "${prog:0:15}" | wc -l)
alive=no; kill -0 "$daemon" 2>/dev/null && alive=yes
echo "mode ran in $ran of $cycles cycles; slowest end:$(echo "$ends" | tr ' ' '\n' | grep -E '^[0-9.]+$' | sort -n | tail -1) s; mode processes left: $left; daemon alive: $alive"
kill "$daemon" 2>/dev/null; sleep 1; kill "$xvfb" 2>/dev/null; wait "$xvfb" 2>/dev/null
rm -rf "$out"
