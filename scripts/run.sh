#!/usr/bin/env bash
# Installs what is missing, builds, makes the demo video on first run, and
# starts Zorvane.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/deps.sh"
"$root/scripts/build.sh"
build=${ZORVANE_BUILD_DIR:-$root/build}

# A ball thrown on a parabola over a measuring grid: 3.5 s at 25 frames/s.
demo="$root/demo/balle.avi"
if [ ! -f "$demo" ]; then
  mkdir -p "$root/demo"
  partial="$root/demo/.balle-partial.avi"
  ffmpeg -nostdin -y -loglevel error \
    -f lavfi -i "color=c=0x203040:s=320x240:r=25:d=3.5" \
    -f lavfi -i "color=c=0xffc828:s=16x16:r=25:d=3.5" \
    -filter_complex "[0]drawgrid=w=40:h=40:t=1:c=white@0.25,drawbox=x=0:y=222:w=320:h=18:c=0x406030:t=fill[bg];[1]format=rgba,geq=r='r(X,Y)':g='g(X,Y)':b='b(X,Y)':a='if(lt(hypot(X-7.5,Y-7.5),8),255,0)'[ball];[bg][ball]overlay=x='10+80*t':y='200-160*t+45*t*t':shortest=1,format=yuv420p" \
    -c:v mpeg4 -q:v 3 "$partial"
  mv "$partial" "$demo"
  echo "Demo video made: $demo"
fi
exec "$build/src/app/zorvane" "$@"
