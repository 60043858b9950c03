#!/usr/bin/env bash
# Installs what is missing, builds QV-Boot and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release -DQV_TESTS=OFF >/dev/null
cmake --build build/release -j"$(nproc)"
exec build/release/QV-Boot "$@"
