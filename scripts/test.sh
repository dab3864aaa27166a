#!/usr/bin/env bash
# Installs what is missing, builds, fuzzes the readers briefly and runs
# every test, then builds the Debian package and checks it.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/deps.sh" --with-fuzz
"$root/scripts/build.sh"
"$root/scripts/fuzz.sh" smoke
build=${ZORVANE_BUILD_DIR:-$root/build}
cd "$build"
QT_QPA_PLATFORM=offscreen ctest --output-on-failure --parallel "$(nproc)"
"$root/scripts/check-package.sh"
