#!/usr/bin/env bash
# Runs the Windows build made by scripts/windows.sh under Wine, on a
# virtual display, and compares it with the Linux build on the same
# generated video, in a folder whose name has an accent and a space:
#  - zorvane-inspect.exe --version, frames --times and track print what the
#    Linux zorvane-inspect prints (Windows' CR LF line ends aside: stdout
#    is in text mode there), and frames on a name in Greek;
#  - the core's unit tests built by scripts/windows.sh unittests pass;
#  - the installer installs silently (it is a 32-bit program: Wine runs it
#    with wine32), puts the program, its uninstaller, the Start menu entry
#    and the "Open with" keys of the video types in place, the installed
#    zorvane-inspect.exe runs, and the uninstaller takes all that away;
#  - zorvane.exe opens the video, steps, takes clicks on the ball and saves
#    a sequence whose bytes equal the Linux program's for the same clicks.
# The window's part runs only with the whole build (scripts/windows.sh);
# zorvane-inspect's also with the build of it alone (scripts/windows.sh cli).
# Exits 77 (skipped) when no Windows build is present.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
linux_build=${ZORVANE_BUILD_DIR:-$root/build}
cache=${ZORVANE_WINDOWS_CACHE:-$HOME/.cache/zorvane-windows}
version=$(sed -n 's/^project(Zorvane VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")
windows=$root/build-windows/stage/zorvane-$version
inspect=$windows/zorvane-inspect.exe
[ -e "$inspect" ] || inspect=$root/build-windows/cli/zorvane-inspect.exe
if [ ! -e "$inspect" ]; then
  echo "No Windows build in $root/build-windows: run scripts/windows.sh first"
  exit 77
fi

fail() { echo "windows smoke: $*" >&2; exit 1; }
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
# No Mono, no Gecko, and no menu entries or MIME types of Wine's in the
# home folder for what the installer makes.
export WINEPREFIX=$cache/wine WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe="
[ -d "$WINEPREFIX" ] || wineboot --init >/dev/null 2>&1

folder="$scratch/vidéo d'essai"
mkdir -p "$folder" "$scratch/linux" "$scratch/windows"
video="$folder/balle lancée.avi"
# A white ball crossing a magenta picture: the magenta tells where the
# picture is on the screen, the ball where to click.
ffmpeg -nostdin -loglevel error -f lavfi -i "color=c=0xff00ff:size=160x120:rate=25:duration=1" \
  -f lavfi -i "color=c=white:size=12x12:rate=25:duration=1" \
  -filter_complex "[0][1]overlay=x='20+t*100':y=54" -c:v mpeg4 -q:v 2 "$video"
winvideo=$(winepath -w "$video")

inspect_both() {
  "$linux_build/src/app/zorvane-inspect" "$@" >"$scratch/linux/out" 2>&1 || true
  local args=() arg
  for arg in "$@"; do
    [ -e "$arg" ] && arg=$(winepath -w "$arg")
    args+=("$arg")
  done
  wine "$inspect" "${args[@]}" 2>&1 | tr -d '\r' >"$scratch/windows/out" || true
  if ! cmp -s "$scratch/linux/out" "$scratch/windows/out"; then
    diff "$scratch/linux/out" "$scratch/windows/out" >&2 || true
    fail "zorvane-inspect $1 differs from Linux"
  fi
  echo "zorvane-inspect $1: same as Linux ($(head -n 1 "$scratch/windows/out"))"
}
inspect_both --version
inspect_both frames "$video" --times
inspect_both track "$video" --from 0 --at 26 60 --to 24
# A name outside the Western code page: arguments reach the program intact
# only through its UTF-8 code page.
cp "$video" "$folder/βολή.avi"
inspect_both frames "$folder/βολή.avi"

# The core's unit tests built for Windows (scripts/windows.sh unittests).
if [ -d "$root/build-windows/build-tests/tests" ]; then
  WINEPATH=$(winepath -w "$(dirname "$inspect")")
  export WINEPATH
  while IFS= read -r -d '' test; do
    if wine "$test" >"$scratch/test.out" 2>&1; then
      echo "$(basename "$test"): $(tr -d '\r' <"$scratch/test.out" | grep -E '^\[  PASSED  \]')"
    else
      tr -d '\r' <"$scratch/test.out" | grep -E 'FAILED|Failure' -A3 >&2 || true
      fail "$(basename "$test") fails under Wine"
    fi
  done < <(find "$root/build-windows/build-tests/tests" -name 'test_*.exe' -print0 | sort -z)
  unset WINEPATH
fi

# The installer, silently (/S) as a deployment would run it, then the
# uninstaller. NSIS's uninstaller copies itself away and exits at once:
# wineserver -w waits until it and every program it started have ended.
setup=$root/build-windows/zorvane-$version-setup.exe
if [ -e "$setup" ]; then
  [ -e "$WINEPREFIX/drive_c/windows/syswow64" ] ||
    fail "$WINEPREFIX was made without Wine's 32-bit half: remove it, install wine32 (scripts/windows.sh tools)"
  programs="$WINEPREFIX/drive_c/Program Files/Zorvane"
  shortcut="$(winepath -u "$(wine cmd /c echo %APPDATA% | tr -d '\r')")/Microsoft/Windows/Start Menu/Programs/Zorvane.lnk"
  extensions=$(sed -n 's/^${Associate} "\(.*\)"$/\1/p' "$root/build-windows/stage/nsis/associations.nsh")
  [ -n "$extensions" ] || fail "no video type in the installer's associations"
  reg64() { wine reg query "$@" /reg:64 >/dev/null 2>&1; }
  rm -rf "$programs"
  wine "$setup" /S >/dev/null 2>&1 || fail "the installer failed under Wine"
  wineserver -w
  for file in zorvane.exe zorvane-inspect.exe uninstall.exe licences.txt platforms/qwindows.dll; do
    [ -e "$programs/$file" ] || fail "the installer did not install $file"
  done
  echo "installer: $(basename "$setup") /S installed $(find "$programs" -type f | wc -l) files in C:\Program Files\Zorvane, zorvane.exe and uninstall.exe among them"
  [ -e "$shortcut" ] || fail "no Start menu entry at $shortcut"
  echo "installer: Start menu entry $(winepath -w "$shortcut")"
  command=$(wine reg query 'HKLM\Software\Classes\Zorvane.Video\shell\open\command' /ve /reg:64 2>/dev/null |
    tr -d '\r' | sed -n 's/.*REG_SZ *//p')
  [ "$command" = '"C:\Program Files\Zorvane\zorvane.exe" "%1"' ] || fail "Zorvane.Video opens with [$command]"
  for extension in $extensions; do
    reg64 "HKLM\\Software\\Classes\\$extension\\OpenWithProgids" /v Zorvane.Video ||
      fail "$extension does not offer Zorvane"
    reg64 'HKLM\Software\Classes\Applications\zorvane.exe\SupportedTypes' /v "$extension" ||
      fail "zorvane.exe does not list $extension"
  done
  echo "installer: \"Open with\" Zorvane for $(echo $extensions), which open $command"
  wine "C:\\Program Files\\Zorvane\\zorvane-inspect.exe" --version 2>&1 | tr -d '\r' >"$scratch/windows/out" || true
  "$linux_build/src/app/zorvane-inspect" --version >"$scratch/linux/out" 2>&1
  cmp -s "$scratch/linux/out" "$scratch/windows/out" ||
    fail "the installed zorvane-inspect.exe --version says [$(cat "$scratch/windows/out")]"
  echo "installer: installed zorvane-inspect.exe --version: same as Linux ($(cat "$scratch/windows/out"))"
  wine "C:\\Program Files\\Zorvane\\uninstall.exe" /S >/dev/null 2>&1 || fail "the uninstaller failed under Wine"
  wineserver -w
  [ ! -e "$programs" ] || fail "the uninstaller left $(find "$programs" | sed "s|^$WINEPREFIX/||" | tr '\n' ' ')"
  [ ! -e "$shortcut" ] || fail "the uninstaller left the Start menu entry"
  for key in 'HKLM\Software\Classes\Zorvane.Video' 'HKLM\Software\Classes\Applications\zorvane.exe' \
    'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Zorvane' 'HKLM\Software\Zorvane'; do
    ! reg64 "$key" || fail "the uninstaller left $key"
  done
  for extension in $extensions; do
    ! reg64 "HKLM\\Software\\Classes\\$extension\\OpenWithProgids" /v Zorvane.Video ||
      fail "the uninstaller left Zorvane in $extension's \"Open with\""
  done
  echo "uninstaller: /S removed C:\Program Files\Zorvane, the Start menu entry and the registry keys"
fi

if [ ! -e "$windows/zorvane.exe" ]; then
  echo "zorvane.exe: not built yet, the window's part is skipped"
  exit 0
fi

# The window: both programs get the same clicks on the same frames, in a
# display of their own, with fresh settings and journals.
click_and_save() {
  local which=$1 out=$2 display window shot box x y
  display=$(for n in $(seq 91 120); do [ -e /tmp/.X11-unix/X$n ] || { echo ":$n"; break; }; done)
  Xvfb "$display" -screen 0 1280x800x24 >/dev/null 2>&1 &
  local xvfb=$!
  sleep 2
  export DISPLAY=$display XDG_CONFIG_HOME=$scratch/$which/config XDG_STATE_HOME=$scratch/$which/state
  if [ "$which" = linux ]; then
    "$linux_build/src/app/zorvane" "$video" >/dev/null 2>&1 &
  else
    # Windows keeps settings and journals in the Wine prefix, which stays:
    # an earlier run's journal would bring the recovery question.
    rm -rf "$WINEPREFIX"/drive_c/users/*/AppData/Local/zorvane "$WINEPREFIX"/drive_c/users/*/AppData/Roaming/zorvane
    wine "$windows/zorvane.exe" "$winvideo" >/dev/null 2>&1 &
  fi
  local program=$!
  window=""
  for _ in $(seq 60); do
    window=$(xdotool search --onlyvisible --name Zorvane 2>/dev/null | head -n 1) && [ -n "$window" ] && break
    sleep 1
  done
  [ -n "$window" ] || fail "the $which window did not open"
  sleep 3 # the one-second video plays to its last frame
  shot=$scratch/$which/shot.png
  import -window root "$shot"
  # The picture's place on the screen: the bounding box of the magenta.
  box=$(convert "$shot" -fuzz 25% -fill black +opaque '#ff00ff' -format '%@' info:)
  x=${box#*+}; y=${x#*+}; x=${x%%+*}
  [ -n "$x" ] && [ -n "$y" ] || fail "no picture found in the $which window"
  # Clicks on the ball's middle in three frames: the last one (ball at
  # x 116 to 128), then two steps back (4 pixels a frame).
  xdotool mousemove $((x + 122)) $((y + 60)) click 1; sleep 0.5
  xdotool key Left; sleep 0.5
  xdotool mousemove $((x + 118)) $((y + 60)) click 1; sleep 0.5
  xdotool key Left; sleep 0.5
  xdotool mousemove $((x + 114)) $((y + 60)) click 1; sleep 0.5
  # "Fichier" > "Enregistrer Sequence", then the file's name in the dialog.
  local wx wy
  eval "$(xdotool getwindowgeometry --shell "$window" | grep -E '^(X|Y)=')"
  wx=$X wy=$Y
  xdotool mousemove $((wx + 20)) $((wy + 10)) click 1; sleep 0.5
  xdotool key Down Down Down Return; sleep 2
  local target=$out
  [ "$which" = windows ] && target=$(winepath -w "$out")
  # Windows' dialog suggests a name with the cursor before it: select it
  # all (Wine's field takes no Ctrl+A) so that the typed one replaces it.
  # Wine's dialog is slower: the name is given time to land, and the file
  # to be written, before the program is stopped.
  xdotool key End shift+Home; xdotool type --delay 20 "$target"; sleep 1; xdotool key Return
  for _ in $(seq 20); do
    [ -s "$out" ] && break
    sleep 1
  done
  sleep 1
  kill "$program" 2>/dev/null || true
  [ "$which" = windows ] && wineserver -k 2>/dev/null || true
  kill "$xvfb" 2>/dev/null || true
  [ -s "$out" ] || fail "the $which program saved no sequence"
}
click_and_save linux "$scratch/linux/suite.txt"
click_and_save windows "$scratch/windows/suite.txt"
cmp "$scratch/linux/suite.txt" "$scratch/windows/suite.txt" ||
  fail "the sequences saved on Linux and on Windows differ"
echo "zorvane.exe: saved sequence equals the Linux one ($(wc -c <"$scratch/windows/suite.txt") bytes)"
