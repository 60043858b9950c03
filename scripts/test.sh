#!/usr/bin/env bash
# Installs what is missing, builds with AddressSanitizer and UBSan, warnings as
# errors, runs every test through ctest, builds the release configuration with
# warnings as errors and checks the Debian package made from it, then runs each
# fuzz target briefly.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh

build=build/test
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DQV_SANITIZE=ON -DQV_WERROR=ON
cmake --build "$build" -j"$(nproc)"
QT_QPA_PLATFORM=offscreen ctest --test-dir "$build" --output-on-failure -j"$(nproc)" --timeout 300

# The optimizer brings warnings of its own, so the release configuration must
# build clean as well; the package is made from it.
release=build/release-check
cmake -S . -B "$release" -G Ninja -DCMAKE_BUILD_TYPE=Release -DQV_TESTS=OFF -DQV_WERROR=ON
cmake --build "$release" -j"$(nproc)"
rm -f "$release"/qv-boot_*.deb
(cd "$release" && cpack -G DEB)
bash tests/package/check-package.sh "$release" "$(ls "$release"/qv-boot_*.deb)"

if command -v clang++ >/dev/null; then
  fuzz=build/fuzz
  CXX=clang++ CC=clang cmake -S . -B "$fuzz" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DQV_FUZZ=ON -DQV_WERROR=ON
  cmake --build "$fuzz" -j"$(nproc)"
  for target in "$fuzz"/fuzz_*; do
    [ -x "$target" ] || continue
    echo "== $(basename "$target")"
    corpus="$fuzz/corpus/$(basename "$target")"
    mkdir -p "$corpus"
    "$target" -max_total_time="${QV_FUZZ_SECONDS:-20}" -print_final_stats=1 "$corpus" 2>&1 | tail -n 3
  done
fi
