#!/usr/bin/env bash
# Renders a second and a half of the scene at 30 fps around an effect and
# measures how much it flashes (gloamyard-flash-measure).
#
#   tools/flash/measure.sh [-o DIR] [-n FRAMES] [-r FPS] WHAT START [gloamyard-render options...]
#
# -n: how many frames (default 45); -r: frames a second (default 30; the
# swing is always taken over one second of frames, so a lower rate only
# samples a long effect more cheaply and may miss a short flash).
# WHAT is an effect that gloamyard-render --trigger knows (lightning,
# pumpkins, skyrell, amperle, ...), started at START seconds with automatic
# effects off, or "opening" to watch the title sequence from START with no
# trigger. Frames go to DIR (default: a new temporary folder), named by
# their time. Anything after START goes to gloamyard-render, e.g.
# --reduce-flashing. The build folder is build/dev unless GLOAMYARD_BUILD
# says otherwise.
#
#   tools/flash/measure.sh lightning 20
#   tools/flash/measure.sh lightning 20 --reduce-flashing
#   tools/flash/measure.sh -n 60 opening 13
set -euo pipefail

out=""
frames=45
rate=30
while getopts "o:n:r:" option; do
  case "$option" in
    o) out="$OPTARG" ;;
    n) frames="$OPTARG" ;;
    r) rate="$OPTARG" ;;
    *) sed -n '2,22p' "$0"; exit 2 ;;
  esac
done
shift $((OPTIND - 1))
if [ $# -lt 2 ]; then
  sed -n '2,22p' "$0"
  exit 2
fi
what="$1"
start="$2"
shift 2

root="$(cd "$(dirname "$0")/../.." && pwd)"
build="${GLOAMYARD_BUILD:-$root/build/dev}"
render="$build/bin/gloamyard-render"
measure="$build/bin/gloamyard-flash-measure"
for program in "$render" "$measure"; do
  if [ ! -x "$program" ]; then
    echo "measure.sh: $program is missing; build it first (cmake --build $build --target gloamyard-resources gloamyard_post_shaders $(basename "$program"))" >&2
    exit 1
  fi
done
if [ -z "$out" ]; then
  out="$(mktemp -d "${TMPDIR:-/tmp}/gloamyard-flash.XXXXXX")"
fi
mkdir -p "$out"

times="$(awk -v s="$start" -v n="$frames" -v r="$rate" 'BEGIN { for (i = 0; i < n; i++) printf "%s%.4f", (i ? "," : ""), s + i / r }')"
if [ "$what" = opening ]; then
  scene=()
else
  scene=(--skip-opening --manual --trigger "$what@$start")
fi
"$render" "${scene[@]}" --fps "$rate" --at "$times" --out "$out/f-%s.png" "$@" >/dev/null
echo "frames in $out"
files=()
IFS=, read -r -a each <<<"$times"
for t in "${each[@]}"; do files+=("$out/f-$t.png"); done
"$measure" --window "$rate" "${files[@]}"
