#!/usr/bin/env bash
# Builds qvshot and writes docs/screenshot.png: QV-Boot's real main window,
# on the offscreen platform, part way through updating a simulated station.
# usage: screenshot.sh [BUILD_DIR]   (default build/dev, configured if missing)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/dev}
if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DQV_TESTS=OFF >/dev/null
fi
cmake --build "$build" -t qvshot
QT_QPA_PLATFORM=offscreen "$build/qvshot" docs/screenshot.png 0.4
