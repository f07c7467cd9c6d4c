#!/usr/bin/env bash
# Installs the Debian 12 packages Gloamyard needs to build, test and run.
# Idempotent: installs only what is missing, and refreshes the package
# lists only when something has to be installed.
set -euo pipefail

packages=(
  # toolchain
  g++ cmake ninja-build pkg-config ccache git
  # tests and benchmarks
  libgtest-dev libgmock-dev libbenchmark-dev
  # the fuzz preset: clang with libFuzzer and the sanitizer runtimes
  clang libclang-rt-14-dev
  # Qt 6 (event loop, widgets, settings, D-Bus) and its X11 and offscreen platforms
  qt6-base-dev qt6-base-dev-tools libqt6opengl6-dev qt6-qpa-plugins
  # maths, model files, images, JSON
  libglm-dev libtinygltf-dev libstb-dev nlohmann-json3-dev
  # lighter meshes for the software tier
  libmeshoptimizer-dev
  # OpenGL through libepoxy, headless EGL on Mesa
  libepoxy-dev libegl-dev libegl-mesa0 libgl1-mesa-dri libgl-dev
  # text meshes
  libfreetype-dev libharfbuzz-dev libfontconfig-dev libglu1-mesa-dev fonts-inter fonts-dejavu-core
  # the opening title's display face (the forge draws it)
  fonts-blankenburg
  # sound
  libopenal-dev libavformat-dev libavcodec-dev libavutil-dev libswresample-dev libstk-dev
  # video export: colour conversion for the H.264 encoder (libavcodec carries libx264)
  libswscale-dev
  # screen saver host glue
  libx11-dev libxext-dev
  # the saver's X tests press keys through the XTEST extension
  libxtst-dev
  # the installer: package signing (openssl), checking (libcrypto) and unpacking (libarchive)
  openssl libssl-dev libarchive-dev
  # windowed tests, scripted runs of the app and screenshots; desktop entry checks
  xvfb xauth x11-apps xdotool desktop-file-utils
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

# Node.js runs the glTF validator; a machine may already have its own.
if ! command -v npm >/dev/null 2>&1; then
  missing+=(nodejs npm)
fi

if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  sudo_cmd=()
  if [ "$(id -u)" -ne 0 ]; then sudo_cmd=(sudo); fi
  export DEBIAN_FRONTEND=noninteractive
  "${sudo_cmd[@]}" apt-get update -q
  "${sudo_cmd[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

# The Khronos glTF validator (from the npm registry), for the forge's tests.
validator="$(dirname "$0")/../tools/gltf-validator"
if [ ! -d "$validator/node_modules/gltf-validator" ]; then
  echo "setup: installing the glTF validator"
  npm install --prefix "$validator" --no-audit --no-fund --silent
fi
