#!/usr/bin/env bash
# Makes the seed corpora of the fuzz targets under the given folder:
# probe/ and reader/ get small real videos made with the ffmpeg tool (and a
# few signature-only files), sequence/ and sidecar/ get sequence and
# calibration files written here, journal/ gets the journals that
# JOURNAL_SEEDS (the fuzz build's journal_seeds program) writes, since they
# carry checksums.
# Nothing made here is committed; running it again remakes what is missing.
set -euo pipefail
out=${1:?usage: make-corpus.sh FOLDER [JOURNAL_SEEDS]}
journal_seeds=${2:-}
mkdir -p "$out/probe" "$out/reader" "$out/sequence" "$out/sidecar" "$out/journal" "$out/autotrack" "$out/companion"
[ -z "$journal_seeds" ] || "$journal_seeds" "$out/journal"

# Tiny sizes and few frames: the fuzzer mutates whole files, and small
# seeds keep every execution fast.
source_video=(-f lavfi -i "testsrc=size=32x24:rate=25:duration=0.2")

video() {
  local name=$1
  shift
  [ -s "$out/reader/$name" ] && return 0
  ffmpeg -nostdin -y -loglevel error "${source_video[@]}" "$@" "$out/reader/partial-$name"
  mv "$out/reader/partial-$name" "$out/reader/$name"
}

video mjpeg.avi      -c:v mjpeg -pix_fmt yuvj420p -q:v 10 -f avi
video rawvideo.avi   -c:v rawvideo -pix_fmt bgr24 -f avi
video cinepak.avi    -c:v cinepak -f avi
video mpeg4.avi      -c:v mpeg4 -vtag XVID -f avi
video mpeg1.mpg      -c:v mpeg1video -f mpeg
video mpeg2.vob      -c:v mpeg2video -f vob
video elementary.m1v -c:v mpeg1video -f mpeg1video
video wmv2.wmv       -c:v wmv2 -f asf
video msmpeg4.wmv    -c:v msmpeg4 -f asf
video mpeg4.mp4      -c:v mpeg4 -f mp4
video mpeg4.mkv      -c:v mpeg4 -f matroska
video mpeg2.ts       -c:v mpeg2video -f mpegts
video sizes.avi      -c:v mjpeg -pix_fmt yuvj420p -s 48x36 -f avi
video still.avi      -frames:v 1 -c:v mjpeg -pix_fmt yuvj420p -f avi
# A colour matrix number outside FFmpeg's list: the reader must not index past it.
video colorspace215.mpg -c:v mpeg2video -colorspace 215 -f mpeg

# The probe reads headers only: the same videos, plus files that carry just
# a signature the type detection knows.
cp -n "$out/reader/"* "$out/probe/"
[ -s "$out/probe/tone.wav" ] ||
  ffmpeg -nostdin -y -loglevel error -f lavfi -i "sine=duration=0.05" -f wav "$out/probe/tone.wav"
printf 'RIFF\x04\x00\x00\x00CDXA' >"$out/probe/cdxa"
printf '.RMF\x00\x00\x00\x12' >"$out/probe/realmedia"
printf 'MThd\x00\x00\x00\x06\x00\x00\x00\x01\x00\x60' >"$out/probe/midi"

seq_dir=$out/sequence
printf ' 2 \r\n0\t0\t0\r\n40\t120\t85\r\n80\t0\t0\r\n' >"$seq_dir/example.txt"
printf ' 3 \n0\t-5\t7\n40\t2147483647\t-2147483648\n' >"$seq_dir/short-lf.txt"
printf ' 4 \r0,5\t1\t2\r1,5\t3\t4\r2,5\t5\t6\r3,5\t7\t8\r4,5\t9\t10\r' >"$seq_dir/comma-cr.txt"
printf '\xEF\xBB\xBF 1 \r\n0  12.5  13.5\r\n1e3\t-0\t+7\r\n' >"$seq_dir/bom-spaces.txt"
printf ' 10000000 \r\n0\t1\t1\r\n' >"$seq_dir/largest.txt"
printf ' -3 \r\n0\t1\t1\r\n' >"$seq_dir/negative.txt"
printf 'x\r\n0\t1\t1\r\n' >"$seq_dir/no-count.txt"
# A file holding nothing but the UTF-8 byte order mark: an empty sequence.
printf '\xEF\xBB\xBF' >"$seq_dir/bom-only.txt"
{
  printf ' 200 \r\n'
  for frame in $(seq 0 200); do printf '%d\t%d\t%d\r\n' $((frame * 40)) $((frame * 3)) $((frame * 2)); done
} >"$seq_dir/long.txt"

comp_dir=$out/companion
printf 't (ms)\tXA\tYA\tXB\tYB\r\n0\t10\t20\t\t\r\n40\t\t\t5\t6\r\n' >"$comp_dir/two.points.tsv"
printf 't (ms)\tXA\tYA\n0,5\t-1\t2147483647' >"$comp_dir/one-comma.points.tsv"

cal_dir=$out/sidecar
calibration='zorvane-etalonnage 1\nvideo chute.mp4\ntaille 56223\nimages 33\nechelle 40 621 440 621\ndistance 2\norigine 100 40\naxe-y haut\ntemps video\nralenti 1\npas 40\n'
printf "$calibration" >"$cal_dir/video.etalonnage"
printf "${calibration//\\n/\\r\\n}" >"$cal_dir/crlf.etalonnage"
printf 'zorvane-etalonnage 1\nvideo a\\\\b\\nc \ntaille 0\nimages 0\nechelle -5 0 0 -5\ndistance 1e-9\norigine 0 0\naxe-y bas\ntemps pas\nralenti 0.125\npas 33.36666666666667\n' >"$cal_dir/escaped.etalonnage"
printf 'zorvane-etalonnage 5\nvideo x\n' >"$cal_dir/newer.etalonnage"
printf "${calibration/etalonnage 1/etalonnage 2}masse 0.057\ng 9.80665\n" >"$cal_dir/mass.etalonnage"
printf "${calibration/etalonnage 1/etalonnage 4}g 9.81\nreferentiel B\naxe-x 10 20 300 220\n" >"$cal_dir/slope.etalonnage"

# The tracker's header: width, height, frames, start x and y, path seed
# (two bytes), the frame of the wrong size; then pixel bytes.
track_dir=$out/autotrack
printf '\x40\x30\x0b\x80\x80\x01\x02\x05' >"$track_dir/plain-grey.bin"
printf '\x40\x30\x0b\x80\x80\x07\x00\x20\x00\xff\x10\xe0\x40\xc0' >"$track_dir/stripes.bin"
printf '\x00\x00\x01\x10\x10\x00\x00\x00' >"$track_dir/one-pixel.bin"
printf '\x5f\x5f\x0b\xff\x40\x03\x00\x03\x80' >"$track_dir/point-outside.bin"
head -c 3000 /dev/zero | tr '\0' '\200' | { printf '\x50\x3c\x0b\x70\x60\x09\x01\x04'; cat; } >"$track_dir/flat-wall.bin"
