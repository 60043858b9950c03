#!/usr/bin/env bash
# Installs the Debian packages the build, the tests, the Debian package and the
# fuzz targets need, when missing; a minimal Debian 12 (a container image,
# debootstrap's minbase) lacks every one of them.
#   build: cmake ninja-build g++ qt6-base-dev qt6-serialport-dev libgl-dev
#   tests: libgtest-dev libgmock-dev, dbus-daemon (dbus-run-session gives the
#          launcher-progress test a bus of its own)
#   Qt's own texts (standard buttons, file dialog) in German and French:
#          qt6-translations-l10n
#   package: dpkg-dev (dpkg-shlibdeps), file (CPack's DEB generator),
#          desktop-file-utils, appstream (the package check's validators)
#   benchmarks: libbenchmark-dev; fuzz targets: clang libclang-rt-14-dev
set -euo pipefail
packages=(cmake ninja-build g++ qt6-base-dev qt6-serialport-dev libgl-dev
          libgtest-dev libgmock-dev dbus-daemon qt6-translations-l10n
          dpkg-dev file desktop-file-utils appstream
          libbenchmark-dev clang libclang-rt-14-dev)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  $sudo apt-get update
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y --no-install-recommends "${missing[@]}"
fi
