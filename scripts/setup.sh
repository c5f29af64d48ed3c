#!/usr/bin/env bash
# Installs what the build and the tests need (Debian 12, as root), then builds.
# Usage: scripts/setup.sh [BUILD_DIR] [extra cmake arguments...]
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(build-essential cmake pkg-config libarchive-dev googletest libgtest-dev
          python3 libarchive-tools unzip zip util-linux libasound2
          libgtk-3-dev libedit2 xvfb xdotool x11-utils xclip)
bash scripts/install_missing.sh "${packages[@]}"

build=${1:-build}
shift || true
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release "$@" >/dev/null
cmake --build "$build" -j"$(nproc)"
