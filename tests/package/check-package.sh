#!/usr/bin/env bash
# Checks what `cmake --install` puts where, that the desktop files pass their
# validators, that the help guide matches the program's texts, and, when a
# .deb is given or lies in the build folder, what the package holds.
# usage: check-package.sh BUILD_DIR [PACKAGE.deb]
# Builds nothing: the programs must already be built in BUILD_DIR.
set -euo pipefail
build=$(cd "$1" && pwd)
source_dir=$(cd "$(dirname "$0")/../.." && pwd)
deb=${2:-$(ls -t "$build"/qv-boot_*.deb 2>/dev/null | head -n 1 || true)}

failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

expected=(
  usr/bin/QV-Boot
  usr/bin/qvimage
  usr/bin/qvstation
  usr/lib/udev/rules.d/60-qv-boot.rules
  usr/share/applications/qv-boot.desktop
  usr/share/icons/hicolor/scalable/apps/qv-boot.svg
  usr/share/metainfo/io.github.quorvex.qvboot.metainfo.xml
  usr/share/qv-boot/QV-Boot.html
)
[ -x "$build/qvboot-cli" ] && expected+=(usr/bin/qvboot-cli)
expected_list=$(printf '%s\n' "${expected[@]}" | sort)

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# --- cmake --install into a staging folder ---------------------------------
DESTDIR="$work/root" cmake --install "$build" --prefix /usr >"$work/install.log" 2>&1 ||
  { cat "$work/install.log" >&2; fail "cmake --install"; }
installed=$(cd "$work/root" && find . -type f -o -type l | sed 's|^\./||' | sort)
[ "$installed" = "$expected_list" ] ||
  fail "installed files differ:"$'\n'"$(diff <(echo "$expected_list") <(echo "$installed"))"
for program in "$work"/root/usr/bin/*; do
  [ -x "$program" ] || fail "$program is not executable"
done

# --- desktop entry and AppStream metadata ----------------------------------
desktop=$work/root/usr/share/applications/qv-boot.desktop
metainfo=$work/root/usr/share/metainfo/io.github.quorvex.qvboot.metainfo.xml
desktop-file-validate "$desktop" || fail "desktop-file-validate"
appstreamcli validate --no-net "$metainfo" >"$work/appstream.log" 2>&1 ||
  { cat "$work/appstream.log" >&2; fail "appstreamcli validate"; }
# The three files must name each other: a launcher that runs a program the
# package does not have, or shows an icon it does not install, still validates.
exec_name=$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$desktop")
icon_name=$(sed -n 's/^Icon=//p' "$desktop")
[ -x "$work/root/usr/bin/$exec_name" ] || fail "Exec=$exec_name is not an installed program"
[ -f "$work/root/usr/share/icons/hicolor/scalable/apps/$icon_name.svg" ] ||
  fail "Icon=$icon_name is not an installed icon"
grep -q '<launchable type="desktop-id">qv-boot.desktop</launchable>' "$metainfo" ||
  fail "the metainfo does not launch qv-boot.desktop"
project_version=$(sed -n 's/^project(QVBoot VERSION \([0-9.]*\).*/\1/p' "$source_dir/CMakeLists.txt")
grep -q "<release version=\"$project_version\"" "$metainfo" ||
  fail "the metainfo has no release $project_version (the project's version)"

# --- help guide ------------------------------------------------------------
help=$work/root/usr/share/qv-boot/QV-Boot.html
grep -Eiq '(src|href)="(https?:)?//|<link|@import' "$help" && fail "the help guide loads outside resources"
# Each message row carries data-ids="1222 1223 …"; its text must be the
# program's English text of each id, so the guide cannot drift from the table.
unescape() { sed -e 's/&quot;/"/g' -e "s/&#39;/'/g" -e 's/&lt;/</g' -e 's/&gt;/>/g' -e 's/&amp;/\&/g'; }
declare -A english
while IFS=$'\t' read -r id _ en _; do
  [[ $id =~ ^[0-9]+$ ]] || continue
  en=${en#\"}
  english[$id]=${en%\"}
done <"$source_dir/resources/strings.tsv"
declare -A covered
while IFS= read -r row; do
  ids=$(sed -n 's/.*data-ids="\([0-9 ]*\)".*/\1/p' <<<"$row")
  text=$(unescape <<<"$row")
  for id in $ids; do
    covered[$id]=1
    want=$(sed -e 's/^ *//' -e 's/ *$//' <<<"${english[$id]:-?missing id $id}")
    [[ $text == *"$want"* ]] || fail "help row for $id does not show \"$want\""
  done
done < <(tr -d '\n' <"$help" | sed 's|</tr>|</tr>\n|g' | grep 'data-ids=')
# Every message id the program's sources use from 1160 on reaches the
# operator (boxes, status bar, labels) and needs a row; 1160 (the port label)
# and 1220 (the Commands menu) are captions.
program_dirs=()
for dir in core texts protocol update config ports serial platform app; do
  [ -d "$source_dir/$dir" ] && program_dirs+=("$source_dir/$dir")
done
for id in $(grep -rhoE '\b1(1[6-9][0-9]|2[0-4][0-9])\b' --include='*.cpp' --include='*.h' \
  "${program_dirs[@]}" | sort -u); do
  if [ "$id" = 1160 ] || [ "$id" = 1220 ] || [ -z "${english[$id]:-}" ]; then continue; fi
  [ -n "${covered[$id]:-}" ] || fail "the help guide's message table lacks $id (${english[$id]})"
done
# The window's named texts; qvboot-cli's own (cli/CliTexts.cpp) are explained in docs/cli.md.
for name in $(sed -n 's/^ *{"\([a-zA-Z0-9.]*\)",.*/\1/p' "$source_dir/texts/NamedTexts.cpp"); do
  grep -q "data-text=\"$name\"" "$help" || fail "the help guide does not explain the text $name"
done

# --- the Debian package ----------------------------------------------------
if [ -n "$deb" ]; then
  packaged=$(dpkg-deb -c "$deb" | awk '{print $NF}' | grep -v '/$' | sed 's|^\./||' | sort)
  [ "$packaged" = "$expected_list" ] ||
    fail "$deb holds other files:"$'\n'"$(diff <(echo "$expected_list") <(echo "$packaged"))"
  [ "$(dpkg-deb -f "$deb" Package)" = qv-boot ] || fail "package name"
  depends=$(dpkg-deb -f "$deb" Depends)
  for library in libqt6core6 libqt6widgets6 libqt6serialport6 qt6-translations-l10n; do
    [[ $depends == *"$library"* ]] || fail "Depends lacks $library: $depends"
  done
  echo "checked $deb"
fi

[ "$failures" -eq 0 ] || exit 1
echo "package contents ok"
