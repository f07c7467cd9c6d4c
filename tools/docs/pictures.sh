#!/usr/bin/env bash
# Remakes the README's pictures in docs/images/ with the headless renderer,
# so they follow the scene as it changes. Not part of the tests.
#
#   tools/docs/pictures.sh [BUILD-FOLDER]     (default: build/dev)
#
# The scene is stepped at a fixed rate from a fixed seed, so the same build
# gives the same pictures. Run it after a change that shows in the scene,
# look at the pictures, and commit them with the change.
set -euo pipefail
cd "$(dirname "$0")/../.."
build="${1:-build/dev}"
render="$build/bin/gloamyard-render"
if [ ! -x "$render" ]; then
    echo "pictures.sh: $render is missing; build first (cmake --build --preset dev)" >&2
    exit 1
fi
out=docs/images
mkdir -p "$out"
size=800x360
common=(--size "$size" --skip-opening --manual --seed 7)

# The default view: the vehicle under its cloth, the house and the graveyard.
"$render" "${common[@]}" --at 20 --out "$out/scene.png"
# The charging-station surprise beside the vehicle.
"$render" "${common[@]}" --trigger amperle@20 --at 29 --out "$out/surprise.png"

ls -l "$out"/*.png
