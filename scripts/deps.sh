#!/usr/bin/env bash
# Installs the Debian 12 packages Zorvane needs to build, run and test,
# skipping those already installed.
set -euo pipefail

packages=(
  cmake g++ ninja-build pkg-config
  qt6-base-dev qt6-svg-dev libqt6opengl6-dev libgl-dev fonts-dejavu-core
  libavformat-dev libavcodec-dev libavutil-dev libswscale-dev ffmpeg
  libgtest-dev libopencv-core-dev libopencv-imgproc-dev
  qt6-qpa-plugins qt6-translations-l10n
  # packaging and its checks
  dpkg-dev file desktop-file-utils appstream lintian
  # the measures export is checked by opening it in a spreadsheet
  libreoffice-calc-nogui
)
if [ "${1:-}" = "--with-fuzz" ]; then
  packages+=(clang libclang-rt-14-dev)
fi

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$package")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -ne 0 ] && sudo=sudo
echo "Installing: ${missing[*]}"
$sudo apt-get update
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y --no-install-recommends "${missing[@]}"
