#!/usr/bin/env bash
# check-deb.sh [BUILD_DIR]: builds the Debian packages from a configured and
# built tree (cpack) and checks them: the files each package carries, the
# dependencies computed from the binaries, the desktop entry and AppStream
# metadata, lintian errors, and the installed client and updater answering
# --version/--help from an unpacked tree. Run by ctest as "package_contents".
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-${ORVEL_BUILD_DIR:-$root/build}}" && pwd)
for tool in cpack dpkg-deb dpkg-shlibdeps desktop-file-validate appstreamcli lintian; do
  command -v "$tool" >/dev/null || { echo "check-deb: $tool is missing (scripts/debian-packages.txt)" >&2; exit 1; }
done
out=$(mktemp -d "${TMPDIR:-/tmp}/orvel-deb.XXXXXX")
trap 'rm -rf "$out"' EXIT
fail() { echo "check-deb: $*" >&2; exit 1; }

(cd "$build" && cpack -G DEB -B "$out/pkg" >"$out/cpack.log" 2>&1) || { cat "$out/cpack.log" >&2; fail "cpack failed"; }
client=$(ls "$out"/pkg/orvelnetdisk_*.deb)
tools=$(ls "$out"/pkg/orvelnetdisk-tools_*.deb)
echo "packages: $(basename "$client") $(basename "$tools")"

# contents
dpkg-deb -c "$client" | awk '{ line = $6; if ($7 != "") line = line " " $7 " " $8; print line }' \
  | sed 's|^\./|/|' >"$out/client.list"
for want in \
  "/usr/bin/OrvelNetdisk -> ../libexec/orvelnetdisk/OrvelNetdisk" \
  "/usr/libexec/orvelnetdisk/OrvelNetdisk" \
  "/usr/libexec/orvelnetdisk/AutoUpdate/OrvelTool" \
  "/usr/libexec/orvelnetdisk/installed-by-package" \
  "/usr/share/applications/example.orvel.OrvelNetdisk.desktop" \
  "/usr/share/metainfo/example.orvel.OrvelNetdisk.metainfo.xml" \
  "/usr/share/icons/hicolor/16x16/apps/example.orvel.OrvelNetdisk.png" \
  "/usr/share/icons/hicolor/48x48/apps/example.orvel.OrvelNetdisk.png" \
  "/usr/share/icons/hicolor/256x256/apps/example.orvel.OrvelNetdisk.png" \
  "/usr/share/doc/orvelnetdisk/copyright"; do
  grep -qxF "$want" "$out/client.list" || fail "the client package lacks $want"
done
grep -qE 'orvel-server|orvel-transfer' "$out/client.list" && fail "the client package carries the tools"
dpkg-deb -c "$tools" >"$out/tools.list"
grep -q '/usr/bin/orvel-server$' "$out/tools.list" || fail "the tools package lacks orvel-server"
grep -q '/usr/bin/orvel-transfer$' "$out/tools.list" || fail "the tools package lacks orvel-transfer"
# the programs are executable
dpkg-deb -c "$client" >"$out/client.long"
for prog in OrvelNetdisk AutoUpdate/OrvelTool; do
  grep -qE "^-rwxr-xr-x .* \./usr/libexec/orvelnetdisk/$prog\$" "$out/client.long" || fail "$prog is not 0755"
done
depends=$(dpkg-deb -f "$client" Depends)
echo "Depends: $depends"
for lib in libqt5widgets5 libqt5network5 libqt5sql5-sqlite libc6; do
  grep -q "$lib" <<<"$depends" || fail "Depends lacks $lib"
done

# desktop entry and metadata, from the unpacked tree
tree="$out/tree"
dpkg-deb -x "$client" "$tree"
desktop-file-validate "$tree/usr/share/applications/example.orvel.OrvelNetdisk.desktop"
appstreamcli validate --no-net "$tree/usr/share/metainfo/example.orvel.OrvelNetdisk.metainfo.xml" >/dev/null
exec_line=$(sed -n 's/^Exec=//p' "$tree/usr/share/applications/example.orvel.OrvelNetdisk.desktop")
[ -x "$tree/usr/bin/$exec_line" ] || fail "the desktop entry's Exec ($exec_line) is not the installed program"

# the installed programs run from the unpacked tree
version=$(QT_QPA_PLATFORM=offscreen "$tree/usr/bin/OrvelNetdisk" --version)
[ "$version" = "OrvelNetdisk $(dpkg-deb -f "$client" Version)" ] || fail "--version said: $version"
QT_QPA_PLATFORM=offscreen "$tree/usr/bin/OrvelNetdisk" --help | grep -q -- '--server URL' || fail "--help"
"$tree/usr/libexec/orvelnetdisk/AutoUpdate/OrvelTool" --version | grep -q '^OrvelTool ' || fail "OrvelTool --version"

# lintian: no errors (warnings are listed)
lintian --fail-on error "$client" "$tools" | tee "$out/lintian.log" || {
  fail "lintian reported errors"
}
echo "check-deb: packages built and checked"
