#!/usr/bin/env bash
# The crash test: writers of the catalogue (10,000 programs), of an
# advertisement file and of a download are killed at random moments while
# they write; after every kill the file must be the old one or the new one,
# byte for byte (tests/crash/crash.cpp says how).
#
#   scripts/crash-test.sh [-n KILLS] [-s SEED] [-k KIND]... [native] [wine]
#
#   -n KILLS   kills per kind of file (default 1000; CI runs 50)
#   -k KIND    only this kind: catalogue, advert, download (all by default)
#   -s SEED    the random moments' seed (default: from the clock; the summary
#              line gives it, so a fault can be replayed)
#   native     the Linux build (build/native): SIGKILL
#   wine       the Windows build (build/win64) under Wine: TerminateProcess
#              (both when neither is named)
#
# Builds nothing: run after the builds. The files are written in a fresh
# folder under KUMOYA_CRASH_DIR (default TMPDIR or /tmp), removed afterwards
# unless a fault was found. Ends with one summary line per kind and system.
set -uo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

kills=1000; seed=""; kinds=()
while getopts "n:s:k:" opt; do
  case $opt in
    n) kills=$OPTARG ;;
    s) seed=$OPTARG ;;
    k) kinds+=("$OPTARG") ;;
    *) sed -n '2,19p' "$0"; exit 2 ;;
  esac
done
shift $((OPTIND - 1))
systems=("$@")
[ ${#systems[@]} -eq 0 ] && systems=(native wine)
[ ${#kinds[@]} -eq 0 ] && kinds=(catalogue advert download)

base=${KUMOYA_CRASH_DIR:-${TMPDIR:-/tmp}}
work=$(mktemp -d "$base/kumoya-crash.XXXXXX")
windows_path() { local p=$1; echo "Z:${p//\//\\}"; }

# The download's server: the network tests' origin on 127.0.0.1.
ports=$work/ports
/usr/bin/python3 tests/net/servers.py >"$ports" &
server=$!
for _ in $(seq 100); do [ -s "$ports" ] && break; sleep 0.1; done
http_port=$(grep -o 'http=[0-9]*' "$ports" | cut -d= -f2)
if [ -z "$http_port" ]; then
  echo "the test server did not start"; kill "$server" 2>/dev/null; exit 1
fi

own_wine=0
failed=0; summary=()
for system in "${systems[@]}"; do
  case $system in
    native)
      run=("$root/build/native/kumoya_crash"); tool=$root/build/native/kumoya-catalog ;;
    wine)
      if [ -z "${WINEPREFIX:-}" ]; then
        # shellcheck source=scripts/wine-env.sh
        source scripts/wine-env.sh; own_wine=1
      fi
      run=("${WINE:-wine}" "$root/build/win64/kumoya_crash.exe")
      tool=$(windows_path "$root/build/win64/kumoya-catalog.exe") ;;
    *) echo "unknown system $system"; failed=1; continue ;;
  esac
  [ -e "${run[-1]}" ] || { echo "${run[-1]} is not built"; failed=1; continue; }
  for kind in "${kinds[@]}"; do
    folder=$work/$system-$kind
    mkdir -p "$folder"
    args=(drive "$kind" "$(windows_path "$folder")" "$kills" --port "$http_port")
    [ "$kind" = catalogue ] && args+=(--tool "$tool")
    [ -n "$seed" ] && args+=(--seed "$seed")
    echo "=== $system $kind: $kills kills"
    start=$(date +%s)
    # (Windows programs end their lines with CR LF.)
    "${run[@]}" "${args[@]}" 2>&1 | sed -u 's/\r$//' | tee "$folder.log"; rc=${PIPESTATUS[0]}
    # The driver's last own line (Wine may add lines of its own after it).
    line="$system $(grep -E "^$kind: " "$folder.log" | tail -n 1) [$(($(date +%s) - start)) s]"
    if [ $rc -ne 0 ]; then
      failed=1
      why=$(grep -B1 -E "^$kind: stopped" "$folder.log" | head -n 1)
      line="$line: ${why:-no reason given}  FAILED (files kept in $folder)"
    fi
    summary+=("$line")
  done
done

kill "$server" 2>/dev/null; wait "$server" 2>/dev/null
[ $own_wine -eq 1 ] && wine_env_cleanup
printf '%s\n' "${summary[@]}"
[ $failed -eq 0 ] && rm -rf "$work"
exit $failed
