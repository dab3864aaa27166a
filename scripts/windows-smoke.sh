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
#    a sequence whose bytes equal the Linux program's for the same clicks;
#    meanwhile its journal is in %LOCALAPPDATA%\zorvane, and once it quits
#    its window's place is in the registry (HKCU\Software\zorvane\zorvane);
#  - its Help and About windows open, "System Info" starts msinfo32.exe,
#    and without msinfo32.exe says so in a message, as on Linux without a
#    system-information program, and goes on.
# ZORVANE_WINDOWS_SHOTS=folder keeps the screenshots of the windows there.
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
shots=${ZORVANE_WINDOWS_SHOTS:-}
[ -z "$shots" ] || mkdir -p "$shots"
keep_shot() { [ -z "$shots" ] || cp "$1" "$shots/$2"; }
msinfo32=""
xvfb=""
# However the smoke ends: no virtual display left, and Wine's msinfo32.exe
# back in place.
clean_up() {
  if [ -n "$xvfb" ]; then
    wineserver -k 2>/dev/null || true
    kill "$xvfb" 2>/dev/null || true
  fi
  if [ -n "$msinfo32" ] && [ -e "$msinfo32.away" ]; then mv "$msinfo32.away" "$msinfo32"; fi
  rm -rf "$scratch"
}
trap clean_up EXIT
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
  echo "installer: \"Open with\" Zorvane for ${extensions//$'\n'/ }, which open $command"
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
  xvfb=$!
  sleep 2
  export DISPLAY=$display XDG_CONFIG_HOME=$scratch/$which/config XDG_STATE_HOME=$scratch/$which/state
  if [ "$which" = linux ]; then
    "$linux_build/src/app/zorvane" "$video" >/dev/null 2>&1 &
  else
    # Windows keeps settings and journals in the Wine prefix, which stays:
    # an earlier run's journal would bring the recovery question.
    rm -rf "$WINEPREFIX"/drive_c/users/*/AppData/Local/zorvane "$WINEPREFIX"/drive_c/users/*/AppData/Roaming/zorvane
    wine reg delete 'HKCU\Software\zorvane' /f >/dev/null 2>&1 || true
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
  if [ "$which" = windows ]; then
    local journal
    journal=$(find "$WINEPREFIX"/drive_c/users/*/AppData/Local/zorvane -name '*.journal' -printf '%f\n' 2>/dev/null |
      head -n 1)
    [ -n "$journal" ] || fail "no journal in %LOCALAPPDATA%\\zorvane after three clicks"
    echo "zorvane.exe: journal in %LOCALAPPDATA%\\zorvane ($journal)"
  fi
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
  if [ "$which" = windows ]; then
    # "Fichier" > "Quitter", which keeps the window's place.
    xdotool mousemove $((wx + 20)) $((wy + 10)) click 1; sleep 0.5
    xdotool key Down Down Down Down Return
    for _ in $(seq 20); do
      kill -0 "$program" 2>/dev/null || break
      sleep 1
    done
  fi
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
geometry=$(wine reg query 'HKCU\Software\zorvane\zorvane\main' /v geometry 2>/dev/null | tr -d '\r' |
  sed -n 's/^ *geometry *\(REG_[A-Z_]*\).*/\1/p')
[ -n "$geometry" ] || fail "the window's place is not in HKCU\\Software\\zorvane\\zorvane"
[ -z "$(find "$WINEPREFIX"/drive_c/users/*/AppData -name zorvane.ini)" ] ||
  fail "a zorvane.ini was written beside the registry"
echo "zorvane.exe: window's place in HKCU\\Software\\zorvane\\zorvane\\main, value geometry ($geometry), no zorvane.ini"

# Help, About and "System Info" in a window of its own. Wine's msinfo32.exe
# is a stub that says so on Wine's debug channel, which its parent's
# stderr receives.
display=$(for n in $(seq 91 120); do [ -e /tmp/.X11-unix/X$n ] || { echo ":$n"; break; }; done)
Xvfb "$display" -screen 0 1280x800x24 >/dev/null 2>&1 &
xvfb=$!
sleep 2
export DISPLAY=$display
WINEDEBUG=-all,fixme+msinfo wine "$windows/zorvane.exe" >/dev/null 2>"$scratch/windows/stderr" &
program=$!
visible_window() {
  local found=""
  for _ in $(seq "${2:-30}"); do
    found=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n 1) && [ -n "$found" ] && break
    sleep 1
  done
  echo "$found"
}
# A click at (x, y) in a window.
click_in() {
  local X Y
  eval "$(xdotool getwindowgeometry --shell "$1" | grep -E '^(X|Y)=')"
  xdotool mousemove $((X + $2)) $((Y + $3)) click 1
}
# Whether no visible window is named so, after up to 5 s.
gone() {
  for _ in $(seq 10); do
    [ -z "$(xdotool search --onlyvisible --name "$1" 2>/dev/null)" ] && return 0
    sleep 0.5
  done
  return 1
}
# The item n places right of "Fichier" in the menu bar, from the keyboard
# as on Windows: Alt reaches the bar, Right moves along it.
menu_bar_item() {
  # A click on the bar's empty end gives the window the keyboard.
  click_in "$window" 320 10; sleep 0.5
  xdotool key alt; sleep 0.5
  for _ in $(seq "$1"); do xdotool key Right; sleep 0.3; done
  xdotool key Return
}
screen_shot() { import -window root "$scratch/windows/$1"; keep_shot "$scratch/windows/$1" "$1"; }
# The window the bar's item n opens, named by the pattern: found, shot and
# told; its id is left in $opened.
opened_from_menu() {
  menu_bar_item "$1"
  opened=$(visible_window "$2")
  [ -n "$opened" ] || fail "\"$3\" opened no $4 window"
  screen_shot "$5"
  echo "zorvane.exe: \"$3\" opens the $4 window ($(xdotool getwindowgeometry "$opened" | sed -n 's/ *Geometry: //p'))"
}
window=$(visible_window '^Zorvane ' 60)
[ -n "$window" ] || fail "the Windows window did not open"
opened_from_menu 1 '^Aide$' Aide help help.png
# Its "OK" button's middle, at (64, 120) in the window, 81 by 25.
click_in "$opened" 104 132
gone '^Aide$' || fail "the help window stays after its OK"
opened_from_menu 2 '^About Zorvane$' "A Propos" About about.png
about=$opened
# The "System Info..." button's middle, at (96, 80) in the window, 83 by 23.
system_info() { click_in "$about" 137 91; }
system_info
for _ in $(seq 15); do
  grep -q 'msinfo:.*stub' "$scratch/windows/stderr" && break
  sleep 1
done
started=$(tr -d '\r' <"$scratch/windows/stderr" | sed -n 's/.*msinfo:wmain stub: L"\(.*\)"$/\1/p' | head -n 1)
[ -n "$started" ] || fail "\"System Info\" started no msinfo32.exe"
[ -z "$(xdotool search --onlyvisible --name '^Zorvane$' 2>/dev/null)" ] ||
  fail "\"System Info\" said it is unavailable though msinfo32.exe was there"
echo "zorvane.exe: \"System Info...\" starts ${started//\\\\/\\}"
# Wine's msinfo32.exe shows Wine's "About" box over the button: its OK.
msinfo_box=$(visible_window 'System Information' 10)
if [ -n "$msinfo_box" ]; then
  screen_shot msinfo32.png
  # A click on its top gives it the keyboard, Return its default button.
  click_in "$msinfo_box" 150 20; sleep 0.5
  xdotool key Return
  gone 'System Information' || fail "Wine's System Information box stays"
fi
msinfo32=$WINEPREFIX/drive_c/windows/system32/msinfo32.exe
mv "$msinfo32" "$msinfo32.away"
system_info
message=$(visible_window '^Zorvane$' 15)
[ -n "$message" ] || fail "without msinfo32.exe \"System Info\" said nothing"
screen_shot no-msinfo32.png
xdotool key Return; sleep 1
mv "$msinfo32.away" "$msinfo32"
kill -0 "$program" 2>/dev/null || fail "zorvane.exe ended after \"System Info\" without msinfo32.exe"
[ -n "$(visible_window '^About Zorvane$' 5)" ] || fail "the About window went with the message"
echo "zorvane.exe: without msinfo32.exe, \"System Info...\" shows a message box \"Zorvane\", as on Linux without a system-information program, and the program goes on"
kill "$program" 2>/dev/null || true
wineserver -k 2>/dev/null || true
kill "$xvfb" 2>/dev/null || true
