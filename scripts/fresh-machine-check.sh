#!/usr/bin/env bash
# Runs what the README promises a newcomer, on a fresh minimal Debian 12 made
# with debootstrap: the test command, the run command (the window on the
# offscreen platform, plain and with --demo), the install section, and then the
# installed programs. Not part of the test command: it takes a quarter of an
# hour and needs root, debootstrap and Debian's package mirror.
#
# usage: sudo bash scripts/fresh-machine-check.sh [WORK_DIR]
#   WORK_DIR (default /var/tmp/qv-fresh) keeps a tarball of the untouched
#   system, so a second check skips debootstrap; every check starts from a new
#   copy of it. The project is copied in as the committed HEAD (git archive), so
#   uncommitted changes are not what gets checked.
#   QV_FUZZ_SECONDS (default 2 here) shortens the fuzz step of the test command.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
work=${1:-/var/tmp/qv-fresh}
mirror=${QV_DEBIAN_MIRROR:-http://deb.debian.org/debian}

[ "$(id -u)" -eq 0 ] || { echo "fresh-machine-check: run as root (chroot and mounts)" >&2; exit 2; }
command -v debootstrap >/dev/null || { echo "fresh-machine-check: apt-get install debootstrap" >&2; exit 2; }

mkdir -p "$work"
base="$work/bookworm-minbase.tar"
if [ ! -f "$base" ]; then
  echo "== debootstrap --variant=minbase bookworm"
  rm -rf "$work/base"
  debootstrap --variant=minbase bookworm "$work/base" "$mirror" >"$work/debootstrap.log"
  # A Debian 12 installation also follows its updates and security suites.
  cat >"$work/base/etc/apt/sources.list" <<EOF
deb $mirror bookworm main
deb $mirror bookworm-updates main
deb ${mirror%/debian}/debian-security bookworm-security main
EOF
  tar -C "$work/base" -cf "$base" .
  rm -rf "$work/base"
fi

root="$work/root"
mounted=()
cleanup() {
  for ((i = ${#mounted[@]} - 1; i >= 0; i--)); do umount -l "${mounted[$i]}" 2>/dev/null || true; done
}
trap cleanup EXIT
rm -rf "$root"
mkdir -p "$root"
tar -C "$root" -xf "$base"
for m in proc sys dev dev/pts dev/shm; do
  mountpoint -q "/$m" || continue
  mount --bind "/$m" "$root/$m"
  mounted+=("$root/$m")
done
cp /etc/resolv.conf "$root/etc/resolv.conf" 2>/dev/null || true

mkdir -p "$root/root/qv-boot"
git -C "$here" archive HEAD | tar -C "$root/root/qv-boot" -x

# The README's install section, as written there, with sudo dropped (root in
# the chroot, and a minimal system has no sudo).
install_cmds=$(awk '/^## Install/{f=1;next} /^## /{f=0} f && /^    /' "$here/README.md" | sed 's/^    //; s/sudo //g')
[ -n "$install_cmds" ] || { echo "fresh-machine-check: no commands in the README's install section" >&2; exit 1; }

in_root() {
  chroot "$root" /usr/bin/env -i HOME=/root PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
    LANG=C.UTF-8 QV_FUZZ_SECONDS="${QV_FUZZ_SECONDS:-2}" bash -euo pipefail -c "cd /root/qv-boot && $1"
}
# A window program passes when QV-Boot has been running for ten seconds: it was
# built, found its libraries and its platform, and did not stop on an error.
# The command runs in a process group of its own, ended once that is seen.
cat >"$root/usr/local/bin/stays-up" <<'EOF2'
#!/bin/bash
QT_QPA_PLATFORM=offscreen setsid "$@" >/tmp/stays-up.log 2>&1 &
pid=$!
up=0
for ((i = 0; i < 1800; i++)); do
  if ! kill -0 "$pid" 2>/dev/null; then
    cat /tmp/stays-up.log
    echo "stays-up: $* ended before QV-Boot had run ten seconds" >&2
    exit 1
  fi
  running=0
  for c in /proc/[0-9]*/comm; do [ "$(cat "$c" 2>/dev/null)" = QV-Boot ] && running=1 && break; done
  if [ "$running" -eq 1 ]; then up=$((up + 1)); else up=0; fi
  if [ "$up" -ge 10 ]; then
    kill -TERM -- "-$pid" 2>/dev/null
    wait "$pid" 2>/dev/null
    exit 0
  fi
  sleep 1
done
kill -KILL -- "-$pid" 2>/dev/null
echo "stays-up: QV-Boot did not come up within 30 minutes" >&2
exit 1
EOF2
chmod +x "$root/usr/local/bin/stays-up"

step() {
  echo "== $1"
  local t0=$SECONDS
  in_root "$2"
  echo "   passed in $((SECONDS - t0)) s"
}

step "bash scripts/test.sh" "bash scripts/test.sh"
step "bash scripts/run.sh (a fresh build folder)" "rm -rf build/release; stays-up bash scripts/run.sh"
step "bash scripts/run.sh --demo" "stays-up bash scripts/run.sh --demo"
step "the install section" "rm -rf build/release; $install_cmds"
step "the installed programs" "cd /; stays-up QV-Boot
  for p in qvboot-cli qvstation qvimage; do \$p --help >/dev/null; done
  test -f /usr/share/qv-boot/QV-Boot.html"
echo "fresh-machine-check: all passed"
