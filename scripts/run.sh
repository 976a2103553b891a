#!/usr/bin/env bash
# Builds Kumoya for x86_64 Windows and starts it under Wine. The first time,
# a demo catalogue (Wine's own programs in two categories, notepad for TXT)
# is placed beside the program. Without a display it runs under Xvfb and
# saves a screenshot of the launch menu in artifacts/launch-menu.png.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
bash scripts/install-deps.sh
cmake --preset win64 >/dev/null
cmake --build build/win64 -j"$(nproc)" --target Zelkova kumoya-catalog >/dev/null

headless=0
[ -z "${DISPLAY:-}" ] && headless=1
export KUMOYA_WINEPREFIX=${KUMOYA_WINEPREFIX:-$HOME/.kumoya-wine}
mkdir -p "$KUMOYA_WINEPREFIX"
# shellcheck source=scripts/wine-env.sh
source scripts/wine-env.sh
trap wine_env_cleanup EXIT

app="$root/build/win64"
computer=$($WINE cmd /c 'echo %COMPUTERNAME%' 2>/dev/null | tr -d '\r\n')
catalogue="$app/${computer:-LOCALHOST}.dat"
if [ ! -f "$catalogue" ]; then
  (cd "$app" && $WINE kumoya-catalog.exe load "Z:$root/scripts/demo-catalogue.json" "$(basename "$catalogue")")
  echo "demo catalogue written to $catalogue"
fi

if [ "$headless" -eq 0 ]; then
  exec $WINE "$app/Zelkova.exe" "$@"
fi

mkdir -p artifacts
(cd "$app" && $WINE Zelkova.exe "$@") &
pid=$!
sleep "${KUMOYA_SHOT_DELAY:-4}"
# Open the first category, so the picture shows programs with their icons.
xdotool key Down Right >/dev/null 2>&1 || true
sleep 1
import -window root artifacts/launch-menu.png
echo "screenshot of the launch menu: $root/artifacts/launch-menu.png"
kill "$pid" 2>/dev/null || true
wineserver -k 2>/dev/null || true
