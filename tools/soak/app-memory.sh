#!/usr/bin/env bash
# The app's memory over real minutes under a private Xvfb: it starts the
# app with its stored defaults (automatic effects on) and, every SAMPLE
# seconds, reads the process's resident and anonymous memory, where the
# anonymous memory lies (the main heap, the other anonymous mappings:
# threads' heaps, large blocks, the GL driver's memory), its open files and
# threads. At the end it prints the growth between minute 5 and the end.
#
#   tools/soak/app-memory.sh MINUTES [SAMPLE-SECONDS] [PROGRAM [ARGUMENTS...]]
#
# PROGRAM defaults to the app (build/dev/bin/gloamyard).
set -euo pipefail
minutes=${1:?usage: app-memory.sh MINUTES [SAMPLE-SECONDS] [PROGRAM [ARGUMENTS...]]}
sample=${2:-30}
shift $(( $# >= 2 ? 2 : 1 ))
root="$(cd "$(dirname "$0")/../.." && pwd)"
if [ $# -eq 0 ]; then set -- "$root/build/dev/bin/gloamyard"; fi

disp=70; while [ -e /tmp/.X11-unix/X$disp ]; do disp=$((disp+1)); done
Xvfb :$disp -ac -screen 0 1400x900x24 >/dev/null 2>&1 & xvfb=$!
config=$(mktemp -d)
trap 'kill $pid 2>/dev/null; kill $xvfb 2>/dev/null; rm -rf "$config"' EXIT
sleep 2
export DISPLAY=:$disp XDG_CONFIG_HOME=$config
"$@" >"$config/log" 2>&1 & pid=$!

# Resident kB of the main heap and of the other anonymous mappings.
regions() {
  awk '/^[0-9a-f]+-[0-9a-f]+ /{ kind = ($6 == "[heap]") ? "heap" : (NF < 6 ? "anon" : "file") }
       /^Rss:/ { rss[kind] += $2 }
       END { printf "%.1f %.1f", rss["heap"] / 1024, rss["anon"] / 1024 }' "/proc/$1/smaps"
}

printf '%6s %8s %8s %8s %10s %6s %7s\n' second "RSS MB" "anon MB" "heap MB" "other MB" files threads
start=$(date +%s)
declare -a seconds rss
while :; do
  now=$(( $(date +%s) - start ))
  kill -0 $pid 2>/dev/null || { echo "the program ended"; tail -5 "$config/log"; exit 1; }
  status=$(awk '/^VmRSS:/{r=$2} /^RssAnon:/{a=$2} /^Threads:/{t=$2} END{printf "%.1f %.1f %d", r/1024, a/1024, t}' /proc/$pid/status)
  read -r r a t <<<"$status"
  read -r h o <<<"$(regions $pid)"
  files=$(ls /proc/$pid/fd | wc -l)
  printf '%6d %8.1f %8.1f %8.1f %10.1f %6d %7d\n' "$now" "$r" "$a" "$h" "$o" "$files" "$t"
  seconds+=("$now"); rss+=("$r")
  [ "$now" -ge $(( minutes * 60 )) ] && break
  sleep "$sample"
done

# Growth from the first sample at or after minute 5 to the last.
for i in "${!seconds[@]}"; do
  if [ "${seconds[$i]}" -ge 300 ]; then
    awk -v a="${rss[$i]}" -v b="${rss[-1]}" -v s="${seconds[$i]}" -v e="${seconds[-1]}" \
      'BEGIN { printf "RSS from second %d to %d: %+.1f MB\n", s, e, b - a }'
    break
  fi
done
