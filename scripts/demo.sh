#!/usr/bin/env bash
# Starts QV-Boot against a simulated station: qvstation on a pseudo-terminal,
# an upgrade folder for its hardware made with qvimage, and a settings file and
# port file of their own, all in a temporary folder that goes when QV-Boot
# closes. The operator's own settings and port file are never read or written.
# qvstation's report (what it received, per-block turnaround and throughput)
# goes into a file beside that folder, which stays; the demo names it at the end.
# usage: demo.sh BUILD_DIR [QV-Boot arguments]
set -euo pipefail
bin=$(cd "${1:?usage: demo.sh BUILD_DIR}" && pwd)
shift
# Without a screen Qt stops with a bare "could not connect to display" after
# the station is already up; say what to do instead.
if [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}${QT_QPA_PLATFORM:-}" ]; then
  echo "demo: no display for the window (DISPLAY and WAYLAND_DISPLAY are unset); run it on a" \
    "desktop, under xvfb-run, or with QT_QPA_PLATFORM=offscreen to try it without a screen" >&2
  exit 1
fi

# The station as qvstation plays it by default: hardware 8115, boot 0102,
# firmware 550, made in 2015 (so it takes firmware 560 or later).
hardware=0x8115
boot=0x0102
firmware=560

demo=$(mktemp -d "${TMPDIR:-/tmp}/qv-boot-demo.XXXXXX")
report="$demo-station.txt"
station_pid=""
app_pid=""
stop() {
  [ -n "$1" ] || return 0
  kill "$1" 2>/dev/null || true
  wait "$1" 2>/dev/null || true
}
finish() {
  stop "$app_pid"
  stop "$station_pid"
  rm -rf "$demo"
  if [ -s "$report" ]; then
    echo "demo: qvstation's report (image received, per-block timings): $report"
  else
    rm -f "$report"
  fi
}
trap finish EXIT
trap 'exit 130' INT TERM

"$bin/qvimage" tree "$demo/upgrades" --hardware "$hardware" --size 65536 --boot "$boot" \
  --firmware "$firmware" >/dev/null
# On exit qvstation prints what it received: the image, a line per block and
# the throughput; hundreds of lines, so into the report file, not the terminal.
"$bin/qvstation" --link "$demo/station" --hardware "$hardware" --boot "$boot" --firmware 550 \
  --expect "$demo/upgrades/$hardware/QV_$firmware.pupd" >"$report" &
station_pid=$!
for _ in $(seq 50); do
  [ -e "$demo/station" ] && break
  kill -0 "$station_pid" 2>/dev/null || { echo "demo: qvstation did not start" >&2; exit 1; }
  sleep 0.1
done
[ -e "$demo/station" ] || { echo "demo: qvstation did not open its terminal" >&2; exit 1; }

echo "COM1 = $demo/station" >"$demo/ports.conf"
# The settings file lives under XDG_DATA_HOME; pointing that at the demo folder
# keeps the operator's own file out of reach.
mkdir -p "$demo/data/Quorvex/QV-Boot"
cat >"$demo/data/Quorvex/QV-Boot/QV-Boot.ini" <<INI
[COMCTRL]
Port=COM1
Protocol=None
Baud=4800
Parity=None
Stopbit=1
DataBit=8
[SETTINGS]
InitDir=$demo/upgrades
InitLang=1000
INI

echo "demo: QV-Boot on COM1 = simulated station $hardware (firmware 550), upgrade folder" \
  "$demo/upgrades. Press Start; close QV-Boot to end the demo."
# In the background so that a signal to this script reaches the trap at once
# and ends QV-Boot and the station with it.
XDG_DATA_HOME="$demo/data" QVBOOT_PORTS_FILE="$demo/ports.conf" "$bin/QV-Boot" "$@" &
app_pid=$!
status=0
wait "$app_pid" || status=$?
app_pid=""
exit "$status"
