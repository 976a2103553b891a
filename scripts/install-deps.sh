#!/usr/bin/env bash
# Installs what building and testing need on a fresh Debian 12 machine, only
# what is missing. Needs root (or sudo) when something has to be installed.
set -euo pipefail
packages=(cmake make g++ clang libclang-rt-14-dev googletest libgtest-dev libbenchmark-dev
          mingw-w64 wine wine64 xvfb xauth x11-utils xdotool imagemagick fonts-ipafont fonts-wine
          nkf liblnk-utils python3 python3-aiosmtpd coreutils locales unzip ffmpeg cppcheck xxd)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "installing: ${missing[*]}"
  sudo=""; [ "$(id -u)" -eq 0 ] || sudo=sudo
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}" >/dev/null
fi
