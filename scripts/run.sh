#!/usr/bin/env bash
# Installs what is missing, builds, and starts Zorvane.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/deps.sh"
"$root/scripts/build.sh"
build=${ZORVANE_BUILD_DIR:-$root/build}
exec "$build/src/app/zorvane" "$@"
