#!/usr/bin/env bash
# Builds the Debian package build/package/zorvane_VERSION_amd64.deb (or
# under $ZORVANE_BUILD_DIR) and prints its path.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${ZORVANE_BUILD_DIR:-$root/build}
"$root/scripts/build.sh" >/dev/null
cd "$build"
rm -f package/zorvane_*.deb
cpack -G DEB >/dev/null
ls "$build"/package/zorvane_*_amd64.deb
