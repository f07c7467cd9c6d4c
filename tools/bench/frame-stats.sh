#!/usr/bin/env bash
# Frames a second of a real window on a private Xvfb, from the programs' own
# `GLOAMYARD_FRAME_STATS=1` lines (frames presented and process CPU over
# five seconds).
#
#   tools/bench/frame-stats.sh app [SECONDS]        the app, focused, opening skipped
#   tools/bench/frame-stats.sh app-behind [SECONDS] the app while another window has focus
#   tools/bench/frame-stats.sh saver [SECONDS]      the screen saver at 1920 x 1080 under a
#                                                   real XScreenSaver daemon (`-root`), run
#                                                   by an ordinary user (needs root to make it)
#
# Prints every frame-stats line after loading (and, for the saver, after its
# 15-second opening) and their median.
# Needs: xvfb, xdotool and xclock (app), xscreensaver (saver). Run on an idle machine.
set -u
what=${1:?app, app-behind or saver}
seconds=${2:-30}
bin=$(cd "$(dirname "$0")/../../build/dev/bin" && pwd)
out=$(mktemp -d /tmp/frame-stats-XXXXXX)
chmod 777 "$out"
disp=70
while [ -e /tmp/.X11-unix/X$disp ]; do disp=$((disp + 1)); done
size=1400x800
[ "$what" = saver ] && size=1920x1080
Xvfb :$disp -ac -screen 0 ${size}x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
trap 'kill $xvfb 2>/dev/null' EXIT
sleep 2
export DISPLAY=:$disp

case $what in
app | app-behind)
    GLOAMYARD_FRAME_STATS=1 "$bin/gloamyard" >/dev/null 2>"$out/stats.log" &
    program=$!
    window=""
    for _ in $(seq 1 100); do
        window=$(xdotool search --name '^Gloamyard$' 2>/dev/null | head -n1)
        [ -n "$window" ] && break
        sleep 0.2
    done
    [ -n "$window" ] || { echo "frame-stats: the app's window did not appear" >&2; exit 1; }
    sleep 3
    xdotool windowfocus --sync "$window" key Escape # skip the opening
    if [ "$what" = app-behind ]; then
        # A second window takes the focus.
        xclock -geometry 100x100+0+0 >/dev/null 2>&1 &
        other=$!
        sleep 1
        xdotool windowfocus --sync "$(xdotool search --name '^xclock$' | head -n1)"
    fi
    sleep $((seconds + 10))
    kill -TERM $program
    wait $program
    [ "$what" = app-behind ] && kill $other 2>/dev/null
    ;;
saver)
    [ "$(id -u)" -eq 0 ] || { echo "frame-stats: the saver run needs root (it makes an ordinary user)" >&2; exit 1; }
    user=saverdemo
    id "$user" >/dev/null 2>&1 || useradd -m "$user"
    home=$(getent passwd "$user" | cut -d: -f6)
    cp "$home/.xscreensaver" "$out/xscreensaver.saved" 2>/dev/null
    printf 'timeout:\t0:30:00\nlock:\t\tFalse\nsplash:\t\tFalse\nfade:\t\tFalse\nunfade:\t\tFalse\nmode:\t\tone\nselected:\t0\nprograms:\t\\\n\t\t%s -root \\n\\\n\n' \
        "$bin/gloamyard-saver" >"$home/.xscreensaver"
    chown "$user" "$home/.xscreensaver"
    su "$user" -s /bin/bash -c "GLOAMYARD_FRAME_STATS=1 DISPLAY=:$disp xscreensaver --no-splash \
        >$out/daemon.out 2>$out/stats.log & echo \$! >$out/daemon.pid"
    sleep 3
    su "$user" -s /bin/bash -c "DISPLAY=:$disp xscreensaver-command -activate" >/dev/null
    sleep $((seconds + 20))
    su "$user" -s /bin/bash -c "DISPLAY=:$disp xscreensaver-command -deactivate" >/dev/null
    sleep 2
    kill "$(cat "$out/daemon.pid")" 2>/dev/null
    if [ -f "$out/xscreensaver.saved" ]; then
        cp "$out/xscreensaver.saved" "$home/.xscreensaver"
    fi
    ;;
*)
    echo "frame-stats: app, app-behind or saver" >&2
    exit 2
    ;;
esac

# The first lines are loading and the first frames (the saver's opening too).
skip=2
[ "$what" = saver ] && skip=4
grep -o 'frame-stats fps=[0-9.]* cpu=[0-9]*%' "$out/stats.log" | tail -n +$((skip + 1)) | tee "$out/lines"
[ -s "$out/lines" ] || { echo "frame-stats: no frame-stats lines; see $out/stats.log" >&2; exit 1; }
sed -E 's/.*fps=([0-9.]+).*/\1/' "$out/lines" | sort -n |
    awk '{ v[NR] = $1 } END { m = (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2; printf "median %.1f frames a second over %d lines\n", m, NR }'
rm -rf "$out"
