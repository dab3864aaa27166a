#!/usr/bin/env bash
# Cross-builds Zorvane for 64-bit Windows from Debian's own sources: the
# MinGW-w64 compilers, and the source packages of the exact FFmpeg, OpenCV
# and Qt versions the Linux build uses. Each part goes into its own prefix
# under the cache folder and is skipped when already built for its version.
# Heavy steps run under nice with at most ZORVANE_WINDOWS_JOBS jobs (2), so
# the machine stays usable. Build folders are kept under the cache, so a
# part stopped half way continues where it was at the next run.
#
#   scripts/windows.sh [all|fetch|ffmpeg|opencv|cli|unittests|qtbase|qtsvg|qttranslations|zorvane|package]
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cache=${ZORVANE_WINDOWS_CACHE:-$HOME/.cache/zorvane-windows}
jobs=${ZORVANE_WINDOWS_JOBS:-2}
host=x86_64-w64-mingw32
toolchain=$root/cmake/mingw-w64-x86_64.cmake
out=$root/build-windows
mkdir -p "$cache/src" "$cache/logs"

sudo=""
[ "$(id -u)" -ne 0 ] && sudo=sudo

install_tools() {
  local packages=(
    g++-mingw-w64-x86-64 gcc-mingw-w64-x86-64 nsis wine wine64 cmake ninja-build
    pkg-config dpkg-dev zip
    xvfb xdotool imagemagick          # scripts/windows-smoke.sh
    nasm                              # FFmpeg's x86 assembly
    qt6-base-dev-tools qt6-base-dev   # host moc/rcc/uic/syncqt for QT_HOST_PATH
    qt6-translations-l10n             # Qt's compiled French translations
    libz-mingw-w64-dev                # zlib for OpenCV's core
    perl python3                      # Qt's and OpenCV's configure helpers
  )
  # NSIS makes 32-bit installers (they install the 64-bit program): Wine
  # runs them only with its 32-bit half, from Debian's i386 architecture.
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    echo "Adding the i386 architecture for wine32"
    $sudo dpkg --add-architecture i386
  fi
  packages+=(wine32:i386)
  local missing=() package
  for package in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' ||
      missing+=("$package")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing: ${missing[*]}"
  $sudo apt-get update
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y --no-install-recommends "${missing[@]}"
}

# apt run on a sources folder and index of our own: the system's sources
# and lists stay as they are.
own_apt() {
  apt-get -o Dir::Etc::SourceList=/dev/null -o Dir::Etc::SourceParts="$cache/apt/sources.list.d" \
    -o Dir::State::Lists="$cache/apt/lists" -o Dir::Cache="$cache/apt/cache" \
    -o Dir::Cache::pkgcache="" -o Dir::Cache::srcpkgcache="" "$@"
}

prepare_apt_sources() {
  mkdir -p "$cache/apt/sources.list.d" "$cache/apt/lists/partial" "$cache/apt/cache/archives/partial"
  # The same archives, suites, components and keys as the binary packages.
  sed 's/^Types:.*/Types: deb-src/' /etc/apt/sources.list.d/debian.sources \
    > "$cache/apt/sources.list.d/zorvane-windows-src.sources"
  local stamp=$cache/apt/updated
  if [ ! -e "$stamp" ] || [ -n "$(find "$stamp" -mmin +1440)" ]; then
    own_apt update
    touch "$stamp"
  fi
}

# "source-name version" of the source package behind an installed package.
source_of() {
  dpkg-query -W -f='${source:Package} ${source:Version}\n' "$1"
}

# Upstream version without the epoch, for folder names.
plain_version() {
  local v=${1#*:}
  echo "$v"
}

# Fetches (once) the source package and prints its unpacked folder.
fetch_source() {
  local name version dir
  read -r name version < <(source_of "$1")
  dir=$cache/src/$name-$(plain_version "$version")
  if [ ! -d "$dir" ]; then
    prepare_apt_sources
    rm -rf "$dir.tmp" && mkdir -p "$dir.tmp"
    if ! (cd "$dir.tmp" && own_apt source --download-only "$name=$version" >&2 &&
      dpkg-source -x ./*.dsc unpacked >&2); then
      rm -rf "$dir.tmp"
      echo "Cannot fetch the source package $name $version from the archive" >&2
      return 1
    fi
    mv "$dir.tmp/unpacked" "$dir"
    mkdir -p "$dir/../archives" && mv "$dir.tmp"/* "$dir/../archives/" 2>/dev/null || true
    rm -rf "$dir.tmp"
  fi
  echo "$dir"
}

# Runs a build step once per version: $1 part name, $2 installed package
# whose source it is; the rest is the command, run with the source folder
# and the prefix as arguments. Times and the load go to the part's log.
build_part() {
  local part=$1 package=$2 src version prefix started
  shift 2
  src=$(fetch_source "$package") || return 1
  read -r _ version < <(source_of "$package")
  prefix=$cache/$part-$(plain_version "$version")
  if [ -e "$prefix/.built" ]; then
    echo "$part $version: already built in $prefix"
    return 0
  fi
  echo "$part $version: building into $prefix (log in $cache/logs/$part.log)"
  started=$(date +%s)
  # In the background so that set -e holds inside the step (it does not in
  # a command tested by ||): a failed command stops the step there.
  (
    echo "start $(date -u) load $(cut -d' ' -f1-3 /proc/loadavg)"
    "$@" "$src" "$prefix"
    echo "end $(date -u) load $(cut -d' ' -f1-3 /proc/loadavg)"
  ) >>"$cache/logs/$part.log" 2>&1 &
  wait $! || {
    echo "$part failed, see $cache/logs/$part.log" >&2
    tail -n 20 "$cache/logs/$part.log" >&2
    return 1
  }
  echo "$part: $(($(date +%s) - started)) s, load now $(cut -d' ' -f1-3 /proc/loadavg)" |
    tee -a "$cache/logs/timings.txt"
  touch "$prefix/.built"
}

# LGPL FFmpeg (no --enable-gpl/nonfree), shared DLLs, nothing but what the
# reader uses: demuxing, decoding, parsing and swscale; no encoders, muxers,
# network, devices or filters.
ffmpeg_build() {
  local src=$1 prefix=$2 build=$cache/build/ffmpeg
  local demuxers=avi,mov,matroska,mpegps,mpegts,mpegvideo,asf,h264,hevc,m4v,mjpeg,rawvideo,ivf,ogg,flv,image2
  local decoders=h264,hevc,mpeg4,msmpeg4v1,msmpeg4v2,msmpeg4v3,mpeg1video,mpeg2video,mjpeg,vp8,vp9,wmv1,wmv2,wmv3,vc1,theora,rawvideo,cinepak,huffyuv,ffv1,h263,flv,dvvideo,prores,utvideo,indeo5,qtrle,msvideo1
  local parsers=h264,hevc,mpeg4video,mpegvideo,mjpeg,vp8,vp9,vc1,av1,h263
  local options=(--prefix="$prefix" \
    --enable-cross-compile --target-os=mingw32 --arch=x86_64 --cross-prefix=$host- \
    --pkg-config=pkg-config --enable-shared --disable-static \
    --disable-autodetect --enable-w32threads \
    --disable-programs --disable-doc --disable-network --disable-everything \
    --disable-avdevice --disable-avfilter --disable-postproc --disable-swresample \
    --enable-protocol=file --enable-demuxer=$demuxers --enable-decoder=$decoders \
    --enable-parser=$parsers --enable-bsf=h264_mp4toannexb,hevc_mp4toannexb)
  mkdir -p "$build" && cd "$build"
  # Configured already with the same options: configuring again would
  # rebuild everything.
  if [ "$(cat configured 2>/dev/null)" != "${options[*]}" ]; then
    nice -n 19 "$src/configure" "${options[@]}"
    echo "${options[*]}" >configured
  fi
  nice -n 19 make -j"$jobs"
  nice -n 19 make install
  cp "$src/COPYING.LGPLv2.1" "$src/LICENSE.md" "$prefix/"
}

# OpenCV's core and imgproc alone, as DLLs, with nothing downloaded (no IPP,
# no ADE) and no optional libraries but zlib, which core's file storage needs.
# Unversioned names (opencv_core.dll) so that FindOpenCVCore finds them as
# on Linux.
opencv_build() {
  local src=$1 prefix=$2 build=$cache/build/opencv
  nice -n 19 cmake -S "$src" -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" \
    -DBUILD_LIST=core,imgproc -DBUILD_SHARED_LIBS=ON -DBUILD_ZLIB=OFF -DOPENCV_DLLVERSION= \
    -DBUILD_TESTS=OFF -DBUILD_PERF_TESTS=OFF -DBUILD_EXAMPLES=OFF -DBUILD_opencv_apps=OFF \
    -DBUILD_JAVA=OFF -DBUILD_opencv_python3=OFF -DBUILD_DOCS=OFF -DOPENCV_GENERATE_PKGCONFIG=OFF \
    -DWITH_IPP=OFF -DWITH_ADE=OFF -DWITH_ITT=OFF -DWITH_OPENCL=OFF -DWITH_EIGEN=OFF \
    -DWITH_LAPACK=OFF -DWITH_PROTOBUF=OFF -DWITH_FFMPEG=OFF -DWITH_DSHOW=OFF -DWITH_MSMF=OFF \
    -DWITH_WIN32UI=OFF -DWITH_OPENEXR=OFF -DWITH_JPEG=OFF -DWITH_PNG=OFF -DWITH_TIFF=OFF \
    -DWITH_WEBP=OFF -DWITH_OPENJPEG=OFF -DWITH_JASPER=OFF -DWITH_IMGCODEC_HDR=OFF \
    -DWITH_QUIRC=OFF -DWITH_VTK=OFF -DWITH_GTK=OFF -DWITH_QT=OFF -DWITH_1394=OFF \
    -DCV_TRACE=OFF -DOPENCV_ENABLE_NONFREE=OFF -DINSTALL_CREATE_DISTRIB=OFF
  nice -n 19 ninja -C "$build" -j"$jobs"
  nice -n 19 ninja -C "$build" install
  cp "$src/LICENSE" "$prefix/LICENSE.opencv"
}

opencv_part() { build_part opencv libopencv-core-dev opencv_build; }

ffmpeg_part() { build_part ffmpeg libavcodec-dev ffmpeg_build; }

# Qt base: Core, Gui, Widgets and the windows platform plugin as DLLs. The
# tools that run during the build (moc, rcc, uic, syncqt) are the host's,
# from the same Qt version in Debian (QT_HOST_PATH). No tablet events: the
# windows plugin reads tablets through wintab.h, which Debian removes from
# the source as non-free, and Zorvane takes no tablet input. OpenGL off as
# the configure script's -no-opengl does it, and dynamic OpenGL with it
# (also once configured): the windows plugin cannot build it without OpenGL.
# No DirectWrite: Gui builds its DirectWrite font database only with
# Direct2D, which is off, while the windows plugin would still call it; the
# plugin then uses the GDI font database.
qtbase_build() {
  local src=$1 prefix=$2 build=$cache/build/qtbase
  nice -n 19 cmake -S "$src" -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" -DBUILD_SHARED_LIBS=ON \
    -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
    -DQT_QMAKE_TARGET_MKSPEC=win32-g++ -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF \
    -DQT_BUILD_BENCHMARKS=OFF -DQT_BUILD_MANUAL_TESTS=OFF \
    -DFEATURE_sql=OFF -DFEATURE_network=OFF -DFEATURE_dbus=OFF -DFEATURE_opengl=OFF \
    -DFEATURE_printsupport=OFF -DFEATURE_concurrent=OFF -DFEATURE_testlib=OFF \
    -DFEATURE_vulkan=OFF -DFEATURE_direct2d=OFF -DFEATURE_icu=OFF -DFEATURE_glib=OFF \
    -DFEATURE_pkg_config=OFF -DFEATURE_system_zlib=OFF -DFEATURE_system_pcre2=OFF \
    -DFEATURE_system_png=OFF -DFEATURE_system_jpeg=OFF -DFEATURE_system_harfbuzz=OFF \
    -DFEATURE_system_freetype=OFF -DFEATURE_sql_sqlite=OFF -DFEATURE_openssl=OFF \
    -DFEATURE_tabletevent=OFF -DINPUT_opengl=no -DFEATURE_dynamicgl=OFF \
    -DFEATURE_directwrite=OFF -DFEATURE_directwrite3=OFF
  nice -n 19 ninja -C "$build" -j"$jobs"
  nice -n 19 ninja -C "$build" install
  cp "$src/LICENSES/LGPL-3.0-only.txt" "$src/LICENSES/GPL-3.0-only.txt" "$prefix/"
}

# Qt SVG on the Qt base above (the measure plots draw SVG).
qtsvg_build() {
  local src=$1 prefix=$2 build=$cache/build/qtsvg
  nice -n 19 cmake -S "$src" -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    -DZORVANE_WINDOWS_PREFIXES="$(qtbase_prefix)" -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_INSTALL_PREFIX="$prefix" -DQT_HOST_PATH=/usr \
    -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF
  nice -n 19 ninja -C "$build" -j"$jobs"
  nice -n 19 ninja -C "$build" install
}

# Qt's French translations of its standard dialogs (qtbase_fr.qm, which the
# program loads). The archive answers 404 for their source package's
# tarball, so they are the compiled catalogues of Debian's binary package
# qt6-translations-l10n, of the same version: .qm files are the same on
# every system (the package is Architecture: all).
qttranslations_part() {
  local prefix
  prefix=$(qttranslations_prefix)
  if [ -e "$prefix/.built" ]; then
    echo "qttranslations: already in $prefix"
    return 0
  fi
  mkdir -p "$prefix/translations"
  cp /usr/share/qt6/translations/qtbase_fr.qm "$prefix/translations/"
  touch "$prefix/.built"
}

# Whether Qt SVG is built; without it the plots are saved as PNG only.
have_qtsvg() { [ -e "$(qtsvg_prefix)/.built" ]; }

prefix_of() {
  local part=$1 package=$2 version
  read -r _ version < <(source_of "$package")
  echo "$cache/$part-$(plain_version "$version")"
}
qtbase_prefix() { prefix_of qtbase qt6-base-dev; }
qtsvg_prefix() { prefix_of qtsvg qt6-svg-dev; }

qtbase_part() { build_part qtbase qt6-base-dev qtbase_build; }
qtsvg_part() { build_part qtsvg qt6-svg-dev qtsvg_build; }

ffmpeg_prefix() { prefix_of ffmpeg libavcodec-dev; }
opencv_prefix() { prefix_of opencv libopencv-core-dev; }
qttranslations_prefix() { prefix_of qttranslations qt6-translations-l10n; }

# Zorvane's own builds optimise as the Linux build does (-O2): the same
# level keeps their results alike, and GCC 12's -O3 warns falsely
# (-Wrestrict) on a literal added to a std::string.
zorvane_release=(-DCMAKE_BUILD_TYPE=Release "-DCMAKE_CXX_FLAGS_RELEASE=-O2 -DNDEBUG")

project_version() {
  sed -n 's/^project(Zorvane VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt"
}

# Zorvane itself, against the parts above; no tests (they run on Linux).
zorvane_build() {
  local prefixes svg=OFF
  prefixes="$(ffmpeg_prefix);$(opencv_prefix);$(qtbase_prefix)"
  if have_qtsvg; then
    prefixes+=";$(qtsvg_prefix)" svg=ON
  fi
  nice -n 19 cmake -S "$root" -B "$out/build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    -DZORVANE_WINDOWS_PREFIXES="$prefixes" -DZORVANE_PLOT_SVG=$svg "${zorvane_release[@]}" \
    -DZORVANE_BUILD_TESTS=OFF -DQT_HOST_PATH=/usr \
    -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake
  nice -n 19 ninja -C "$out/build" -j"$jobs" zorvane zorvane-inspect
}

# GoogleTest from Debian's own copy of its source, for the core's unit
# tests under Wine.
googletest_build() {
  local src=$1 prefix=$2 build=$cache/build/googletest
  nice -n 19 cmake -S "$src" -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" -DBUILD_GMOCK=OFF -DINSTALL_GTEST=ON
  nice -n 19 ninja -C "$build" -j"$jobs" install
}

googletest_prefix() { prefix_of googletest googletest; }

googletest_part() {
  local prefix started
  prefix=$(googletest_prefix)
  [ -e "$prefix/.built" ] && return 0
  started=$(date +%s)
  googletest_build /usr/src/googletest "$prefix" >>"$cache/logs/googletest.log" 2>&1
  echo "googletest: $(($(date +%s) - started)) s, load now $(cut -d' ' -f1-3 /proc/loadavg)" |
    tee -a "$cache/logs/timings.txt"
  touch "$prefix/.built"
}

# zorvane-inspect alone, without Qt, as soon as FFmpeg and OpenCV are
# built: into build-windows/cli with the DLLs it needs.
zorvane_cli_build() {
  nice -n 19 cmake -S "$root" -B "$out/build-cli" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    -DZORVANE_WINDOWS_PREFIXES="$(ffmpeg_prefix);$(opencv_prefix)" "${zorvane_release[@]}" \
    -DZORVANE_BUILD_GUI=OFF -DZORVANE_BUILD_TESTS=OFF
  nice -n 19 ninja -C "$out/build-cli" -j"$jobs" zorvane-inspect
  rm -rf "$out/cli" && mkdir -p "$out/cli"
  cp "$out/build-cli/src/app/zorvane-inspect.exe" "$out/cli/"
  stage_dlls "$out/cli" "$(ffmpeg_prefix)/bin" "$(opencv_prefix)/bin" /usr/lib/gcc/$host/12-posix /usr/$host/lib
}

# The core's unit tests that build for Windows (the others drive POSIX
# processes, pipes and rlimits), for scripts/windows-smoke.sh to run under
# Wine.
windows_unit_tests=(test_common test_systemfile test_pointtrack test_sequencehostile test_measure test_fit
  test_vectors test_frameindex test_orientation test_playbackclock test_viewtransform test_probeconversions
  test_probehostile test_videoinfoprobe test_progress test_autotrack test_autotrackruns test_commandline
  test_trackingengine test_videoarea)

zorvane_unit_tests_build() {
  googletest_part
  nice -n 19 cmake -S "$root" -B "$out/build-tests" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    -DZORVANE_WINDOWS_PREFIXES="$(ffmpeg_prefix);$(opencv_prefix);$(googletest_prefix)" \
    "${zorvane_release[@]}" -DZORVANE_BUILD_GUI=OFF -DZORVANE_BUILD_TESTS=ON
  nice -n 19 ninja -C "$out/build-tests" -j"$jobs" "${windows_unit_tests[@]}"
}

# The icon as a .ico of PNG images, drawn by the Linux build's own icon
# program (the same pictures as the Debian package's).
make_icon() {
  local ico=$1 linux_build=${ZORVANE_BUILD_DIR:-$root/build} icons
  icons=$(mktemp -d)
  nice -n 19 ninja -C "$linux_build" zorvane-render-icon >/dev/null
  QT_QPA_PLATFORM=offscreen "$linux_build/packaging/zorvane-render-icon" "$icons" 16 24 32 48 64 256
  python3 - "$ico" "$icons"/{16,24,32,48,64,256}x*/zorvane.png <<'PY'
import struct, sys
images = [open(path, 'rb').read() for path in sys.argv[2:]]
sizes = [struct.unpack('>II', data[16:24]) for data in images]
header = struct.pack('<HHH', 0, 1, len(images))
offset = 6 + 16 * len(images)
entries = b''
for data, (width, height) in zip(images, sizes):
    entries += struct.pack('<BBBBHHII', width % 256, height % 256, 0, 0, 1, 32, len(data), offset)
    offset += len(data)
open(sys.argv[1], 'wb').write(header + entries + b''.join(images))
PY
  rm -rf "$icons"
}

# Windows' names for the video types the desktop entry lists.
extensions_of_desktop_types() {
  local mime
  for mime in $(sed -n 's/^MimeType=//p' "$root/packaging/org.example.zorvane.desktop" | tr ';' ' '); do
    case $mime in
      video/x-msvideo | video/avi | video/msvideo) echo .avi ;;
      video/mp4) printf '%s\n' .mp4 .m4v ;;
      video/x-m4v) echo .m4v ;;
      video/x-matroska) echo .mkv ;;
      video/webm) echo .webm ;;
      video/quicktime) echo .mov ;;
      video/mpeg) printf '%s\n' .mpg .mpeg .m1v .m2v ;;
      video/x-ms-wmv) echo .wmv ;;
      video/x-ms-asf) echo .asf ;;
      video/mp2t) printf '%s\n' .ts .m2ts ;;
      *) echo "No Windows extension known for $mime" >&2; return 1 ;;
    esac
  done | sort -u
}

# The DLLs a program or DLL imports.
imports_of() {
  $host-objdump -p "$1" | sed -n 's/^\s*DLL Name: //p'
}

# Copies into the stage every DLL the staged programs and plugins need
# from the cross-built prefixes and the MinGW runtime, and fails on one
# that is neither there nor a system DLL of Windows. API set names
# (api-ms-win-..., ext-ms-win-...) are no files: Windows' loader maps them
# to its own DLLs.
stage_dlls() {
  local stage=$1 search=("${@:2}") changed=1 file dll dir found
  while [ $changed = 1 ]; do
    changed=0
    while IFS= read -r -d '' file; do
      for dll in $(imports_of "$file"); do
        [ -e "$stage/$dll" ] && continue
        case ${dll,,} in api-ms-win-* | ext-ms-win-*) continue ;; esac
        found=""
        for dir in "${search[@]}"; do
          [ -e "$dir/$dll" ] && found=$dir/$dll && break
        done
        if [ -n "$found" ]; then
          cp "$found" "$stage/" && changed=1
        elif [ -z "$(find /usr/lib/x86_64-linux-gnu/wine/x86_64-windows -maxdepth 1 -iname "$dll")" ]; then
          echo "$file needs $dll, found nowhere" >&2
          return 1
        fi
      done
    done < <(find "$stage" -iname '*.exe' -print0 -o -iname '*.dll' -print0)
  done
}

# The installer and the portable zip from the built program.
package_windows() {
  local version stage nsis qt svg tr qt_modules="Core, Gui, Widgets"
  version=$(project_version)
  stage=$out/stage/zorvane-$version
  nsis=$out/stage/nsis
  qt=$(qtbase_prefix) svg=$(qtsvg_prefix) tr=$(qttranslations_prefix)
  rm -rf "$out/stage" && mkdir -p "$stage/platforms" "$stage/styles" "$stage/translations" "$stage/licences" "$nsis"
  cp "$out/build/src/app/zorvane.exe" "$out/build/src/app/zorvane-inspect.exe" "$stage/"
  cp "$qt/plugins/platforms/qwindows.dll" "$stage/platforms/"
  cp "$qt"/plugins/styles/*.dll "$stage/styles/" 2>/dev/null || true
  cp "$tr"/translations/*.qm "$stage/translations/"
  printf '[Paths]\nPrefix = .\nPlugins = .\nTranslations = translations\n' >"$stage/qt.conf"
  stage_dlls "$stage" "$(ffmpeg_prefix)/bin" "$(opencv_prefix)/x64/mingw/bin" "$(opencv_prefix)/bin" \
    "$qt/bin" "$svg/bin" /usr/lib/gcc/$host/12-posix /usr/$host/lib
  $host-strip "$stage"/*.exe "$stage"/*.dll "$stage"/*/*.dll

  have_qtsvg && qt_modules+=", SVG"
  cp "$qt/LGPL-3.0-only.txt" "$stage/licences/Qt-LGPL-3.0.txt"
  cp "$qt/GPL-3.0-only.txt" "$stage/licences/Qt-GPL-3.0.txt"
  cp "$(ffmpeg_prefix)/COPYING.LGPLv2.1" "$stage/licences/FFmpeg-LGPL-2.1.txt"
  cp "$(opencv_prefix)/LICENSE.opencv" "$stage/licences/OpenCV-Apache-2.0.txt"
  {
    echo "Zorvane $version uses these libraries, as separate DLLs that may be replaced:"
    echo "  Qt 6 ($qt_modules): GNU LGPL version 3"
    echo "  FFmpeg (libavformat, libavcodec, libavutil, libswscale), built without"
    echo "  GPL or non-free parts: GNU LGPL version 2.1 or later"
    echo "  OpenCV (core, imgproc): Apache License 2.0"
    echo "Their sources are Debian's source packages of the same versions."
    for text in Qt-LGPL-3.0 Qt-GPL-3.0 FFmpeg-LGPL-2.1 OpenCV-Apache-2.0; do
      printf '\n===== %s =====\n\n' "$text"
      cat "$stage/licences/$text.txt"
    done
  } >"$stage/licences.txt"

  make_icon "$stage/zorvane.ico"
  extensions_of_desktop_types | sed 's/.*/${Associate} "&"/' >"$nsis/associations.nsh"
  (cd "$stage" && find . -mindepth 1 -type f | sed 's|^\./||; s|/|\\|g; s|.*|Delete "$INSTDIR\\&"|'
    find . -mindepth 1 -type d | sort -r | sed 's|^\./||; s|/|\\|g; s|.*|RMDir "$INSTDIR\\&"|') >"$nsis/installed.nsh"

  makensis -V2 -DVERSION="$version" -DSTAGE="$stage" \
    -DOUTFILE="$out/zorvane-$version-setup.exe" "$root/packaging/windows/zorvane.nsi"
  (cd "$out/stage" && rm -f "$out/zorvane-$version-windows-portable.zip" &&
    zip -qr9 "$out/zorvane-$version-windows-portable.zip" "zorvane-$version")
  ls -l "$out/zorvane-$version-setup.exe" "$out/zorvane-$version-windows-portable.zip"
}

main() {
  local step
  for step in "${@:-all}"; do
    case $step in
      tools) install_tools ;;
      fetch)
        for p in libavcodec-dev libopencv-core-dev qt6-base-dev; do fetch_source "$p" >/dev/null; done
        fetch_source qt6-svg-dev >/dev/null || echo "Qt SVG cannot be fetched: the plots will be saved as PNG only" ;;
      ffmpeg) ffmpeg_part ;;
      opencv) opencv_part ;;
      qtbase) qtbase_part ;;
      qtsvg) qtsvg_part ;;
      qttranslations) qttranslations_part ;;
      cli) zorvane_cli_build ;;
      unittests) zorvane_unit_tests_build ;;
      zorvane) zorvane_build ;;
      package) package_windows ;;
      all)
        main tools ffmpeg opencv cli qtbase
        qtsvg_part || echo "Qt SVG cannot be built: the plots will be saved as PNG only"
        main qttranslations zorvane package
        return ;;
      *) echo "unknown step $step" >&2; exit 2 ;;
    esac
  done
}

# Sourcing the script gives its functions alone.
if [ "${BASH_SOURCE[0]}" = "$0" ]; then main "$@"; fi
