#!/usr/bin/env bash
# Installs what is missing, builds QV-Boot (nothing else) and starts it.
# With --demo it starts QV-Boot against a simulated station (scripts/demo.sh).
set -euo pipefail
cd "$(dirname "$0")/.."
demo=0
if [ "${1:-}" = "--demo" ]; then
  demo=1
  shift
fi
bash scripts/deps.sh
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release -DQV_TESTS=OFF >/dev/null
# Only what the window needs (and the demo's station and image tool): the
# benchmarks, qvshot and qvboot-cli would keep the first start waiting minutes.
targets=(qvboot)
[ "$demo" -eq 0 ] || targets+=(qvstation qvimage)
cmake --build build/release -j"$(nproc)" --target "${targets[@]}"
if [ "$demo" -eq 1 ]; then
  exec bash scripts/demo.sh build/release "$@"
fi
exec build/release/QV-Boot "$@"
