#!/usr/bin/env bash
# Installs what is missing, builds, runs every test, fuzzes the readers
# briefly, then builds the Debian package and checks it.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/deps.sh" --with-fuzz
"$root/scripts/build.sh"
build=${ZORVANE_BUILD_DIR:-$root/build}
# The unit results come first and always: a fuzz finding must not hide them.
status=0
(cd "$build" && QT_QPA_PLATFORM=offscreen ctest --output-on-failure --parallel "$(nproc)") || status=1
# The package check runs beside the fuzzing, which leaves a core idle in
# its last round; its report is printed once it is done, whole.
"$root/scripts/fuzz.sh" smoke &
fuzzing=$!
package_log=$(mktemp)
"$root/scripts/check-package.sh" >"$package_log" 2>&1 || status=1
wait "$fuzzing" || status=1
cat "$package_log"
rm -f "$package_log"
# The Windows build is checked only where scripts/windows.sh made one.
if [ -d "$root/build-windows/stage" ] || [ -d "$root/build-windows/cli" ]; then
  "$root/scripts/windows-smoke.sh" || [ $? -eq 77 ] || status=1
fi
exit $status
