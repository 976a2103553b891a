# Shared helpers of the end-to-end scripts: a Wine environment, programs
# started in the background with their output in a file, waiting for a line
# or a window, screenshots into artifacts/.
#
#   source "$(dirname "$0")/lib.sh"        # sets E2E_ROOT, E2E_BUILD, E2E_ARTIFACTS
#   e2e_start demo "$E2E_BUILD/ui_demo.exe"
#   e2e_wait_line demo MENU_OPEN 30 || e2e_fail "no menu"
#   e2e_screenshot menu
#   e2e_finish                             # stops what is left, cleans Wine up
set -uo pipefail

E2E_ROOT=${KUMOYA_ROOT:-$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)}
E2E_BUILD=${KUMOYA_BUILD:-$E2E_ROOT/build/win64}
E2E_ARTIFACTS=$E2E_ROOT/artifacts
mkdir -p "$E2E_ARTIFACTS"
E2E_WORK=$(mktemp -d /tmp/kumoya-e2e.XXXXXX)
E2E_OWN_WINE=0
E2E_PIDS=()

# Standalone runs get their own prefix and display; under the CI script the
# prefix and DISPLAY are already there.
if [ -z "${WINEPREFIX:-}" ]; then
  # shellcheck source=../../scripts/wine-env.sh
  source "$E2E_ROOT/scripts/wine-env.sh"
  E2E_OWN_WINE=1
fi
WINE=${WINE:-wine}

# Japanese text renders because scripts/wine-env.sh links Wine's UI fonts to
# the IPA fonts when it makes the prefix.

e2e_log() { echo "[e2e] $*"; }
e2e_fail() {
  echo "[e2e] FAIL: $*" >&2
  e2e_finish
  exit 1
}

# e2e_start NAME PROGRAM [ARGS...]: output in $E2E_WORK/NAME.out
e2e_start() {
  local name=$1; shift
  : >"$E2E_WORK/$name.out"
  "$WINE" "$@" >"$E2E_WORK/$name.out" 2>"$E2E_WORK/$name.err" &
  E2E_PIDS+=($!)
  eval "E2E_PID_$name=$!"
}

# Console output of Windows programs ends its lines with CR LF.
e2e_output() { tr -d '\r' <"$E2E_WORK/$1.out"; }

# e2e_wait_line NAME TEXT SECONDS: waits for a line starting with TEXT.
e2e_wait_line() {
  local name=$1 text=$2 seconds=$3 i
  for ((i = 0; i < seconds * 10; i++)); do
    grep -q "^$text" "$E2E_WORK/$name.out" 2>/dev/null && return 0
    sleep 0.1
  done
  return 1
}

# e2e_wait_exit NAME SECONDS: waits for the program to end; its status in E2E_STATUS.
e2e_wait_exit() {
  local name=$1 seconds=$2 pidvar="E2E_PID_$1" i
  local pid=${!pidvar}
  for ((i = 0; i < seconds * 10; i++)); do
    if ! kill -0 "$pid" 2>/dev/null; then
      wait "$pid"; E2E_STATUS=$?
      return 0
    fi
    sleep 0.1
  done
  return 1
}

# e2e_wait_window TITLE SECONDS (needs xdotool)
e2e_wait_window() {
  local title=$1 seconds=$2 i
  for ((i = 0; i < seconds * 10; i++)); do
    xdotool search --name "$title" >/dev/null 2>&1 && return 0
    sleep 0.1
  done
  return 1
}

# e2e_screenshot NAME: the whole screen into artifacts/NAME.png
e2e_screenshot() {
  import -window root "$E2E_ARTIFACTS/$1.png" 2>/dev/null && e2e_log "screenshot artifacts/$1.png"
}

e2e_have_xdotool() { [ -z "${E2E_NO_XDOTOOL:-}" ] && command -v xdotool >/dev/null 2>&1; }

# e2e_keys_to TITLE KEYS...: types keys into the window with that title.
# Without a window manager the keyboard follows the pointer, so the pointer
# goes onto the window first.
e2e_keys_to() {
  local title=$1; shift
  local id
  id=$(xdotool search --name "$title" 2>/dev/null | head -1)
  [ -n "$id" ] || return 1
  xdotool mousemove --window "$id" 5 5 && sleep 0.3 && xdotool key "$@"
}

# e2e_need PROGRAM...: each program is built in $E2E_BUILD, or the test ends.
e2e_need() {
  local exe
  for exe in "$@"; do [ -f "$E2E_BUILD/$exe" ] || e2e_fail "missing $E2E_BUILD/$exe"; done
}

# D ARGS...: the UI driver (tests/driver) with its output's CRs removed and
# its complaints in driver.err.
D() { timeout 60 "$WINE" "$E2E_BUILD/driver.exe" "$@" 2>>"$E2E_WORK/driver.err" | tr -d '\r'; }

# expect WHAT ACTUAL WANTED
expect() {
  [ "$2" = "$3" ] || e2e_fail "$1: got [$2], wanted [$3]"
  e2e_log "$1: $2"
}

# win PATH: a host path as Wine's Windows programs see it (drive Z:).
win() { echo "Z:${1//\//\\}"; }

# e2e_catalogue_name: the catalogue's file name, which follows the computer's.
e2e_catalogue_name() {
  local computer
  computer=$("$WINE" cmd /c 'echo %COMPUTERNAME%' 2>/dev/null | tr -d '\r\n')
  echo "${computer:-LOCALHOST}.dat"
}

# e2e_catalogue_load APP JSON DAT: APP's kumoya-catalog.exe writes APP\DAT
# from the JSON file; a failure ends the test.
e2e_catalogue_load() {
  (cd "$1" && "$WINE" kumoya-catalog.exe load "$(winepath -w "$2")" "$3") >"$E2E_WORK/load.out" 2>&1 ||
    e2e_fail "could not write the catalogue: $(cat "$E2E_WORK/load.out")"
}

# e2e_catalogue_dump APP DAT: the catalogue APP\DAT as JSON on standard output.
e2e_catalogue_dump() { (cd "$1" && "$WINE" kumoya-catalog.exe dump "$2") 2>/dev/null | tr -d '\r'; }

e2e_finish() {
  local pid
  for pid in "${E2E_PIDS[@]}"; do kill "$pid" 2>/dev/null || true; done
  E2E_PIDS=()
  rm -rf "$E2E_WORK"
  if [ "$E2E_OWN_WINE" = 1 ]; then wine_env_cleanup; E2E_OWN_WINE=0; fi
}
