#!/usr/bin/env bash
# Installs every Debian 12 package Sonivault needs to build, run and test.
# Safe to run again: it only calls apt-get when something is missing.
set -euo pipefail

PACKAGES=(
  # build
  cmake ninja-build g++ pkg-config clang libclang-rt-14-dev
  qt6-base-dev qt6-base-dev-tools qt6-tools-dev qt6-tools-dev-tools libgl-dev
  libqt6dbus6 libqt6concurrent6 qt6-qpa-plugins
  # sound
  libpulse-dev libasound2-dev libasound2-plugins pulseaudio pulseaudio-utils
  # encoders, CD, help
  lame libavformat-dev libavcodec-dev libavutil-dev libswresample-dev libburn-dev libchm-dev fp-utils
  python3  # draws the help file's pictures
  # tests and benchmarks
  dbus-daemon xvfb xauth imagemagick sox ffmpeg stress-ng
  python3 util-linux # split reliability runs (bench/reliability)
  # packaging: .deb, menu entry, metainfo and icon checks, icon sizes, screenshots
  dpkg-dev fakeroot lintian desktop-file-utils appstream librsvg2-bin man-db xdotool
)
PACKAGES+=(libflac-dev flac)  # FLAC output; flac and metaflac check it in tests

missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi
echo "Installing: ${missing[*]}"
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
