#!/usr/bin/env bash
# Builds the Debian package and checks it: its exact file list, lintian
# (no errors), the desktop entry and AppStream metadata as installed, and
# zorvane-inspect run from the unpacked package on a generated video.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
deb=$("$root/scripts/package.sh")
version=$(dpkg-deb -f "$deb" Version)
[ "$(basename "$deb")" = "zorvane_${version}_amd64.deb" ] || { echo "unexpected package name: $deb" >&2; exit 1; }

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
failed=0
fail() { echo "check-package: $*" >&2; failed=1; }

expected_files() {
  echo ./usr/bin/zorvane
  echo ./usr/bin/zorvane-inspect
  echo ./usr/share/applications/org.example.zorvane.desktop
  echo ./usr/share/metainfo/org.example.zorvane.metainfo.xml
  for size in 16 22 24 32 48 64 128 256; do
    echo "./usr/share/icons/hicolor/${size}x${size}/apps/zorvane.png"
  done
  echo ./usr/share/man/man1/zorvane.1.gz
  echo ./usr/share/man/man1/zorvane-inspect.1.gz
  echo ./usr/share/doc/zorvane/copyright
  echo ./usr/share/doc/zorvane/changelog.gz
}
# Every entry that is not a folder, by its path (the sixth column).
dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { print $6 }' | sort >"$scratch/files"
expected_files | sort >"$scratch/expected"
if ! diff -u "$scratch/expected" "$scratch/files"; then
  fail "the package's files differ from the expected list (- expected, + packaged)"
fi

# Errors fail the check; warnings and notes are printed for whoever reads the log.
echo "lintian:"
lintian --fail-on error --display-info "$deb" 2>&1 | grep -v 'root privileges' || true
lintian --fail-on error "$deb" >/dev/null 2>&1 || fail "lintian reports errors"

unpacked=$scratch/root
dpkg-deb -x "$deb" "$unpacked"
desktop-file-validate "$unpacked/usr/share/applications/org.example.zorvane.desktop" || fail "desktop entry is not valid"
appstreamcli validate --no-net --explain "$unpacked/usr/share/metainfo/org.example.zorvane.metainfo.xml" ||
  fail "AppStream metadata is not valid"

for program in zorvane zorvane-inspect; do
  answer=$("$unpacked/usr/bin/$program" --version)
  [ "$answer" = "$program $version" ] || fail "$program --version printed \"$answer\""
done
"$unpacked/usr/bin/zorvane" --help | grep -q FILE || fail "zorvane --help does not mention the file argument"

ffmpeg -nostdin -loglevel error -f lavfi -i "testsrc2=size=160x120:rate=25:duration=1" \
  -c:v mpeg4 "$scratch/clip.avi"
frames=$("$unpacked/usr/bin/zorvane-inspect" frames "$scratch/clip.avi") || fail "zorvane-inspect frames failed"
case $frames in
  "frames=25 width=160 height=120 "*) echo "unpacked zorvane-inspect: $frames" ;;
  *) fail "unpacked zorvane-inspect frames printed \"$frames\"" ;;
esac

[ $failed -eq 0 ] && echo "check-package: $(basename "$deb") passed"
exit $failed
