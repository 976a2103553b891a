#!/usr/bin/env bash
# The test driver and the recorder, checked under Wine against windows that
# need none of the launcher's code: driver.exe's own self-test window, which
# logs every notification it receives, and recorder.exe started with awkward
# arguments. Every wait is bounded; everything started here is stopped here.
# Needs KUMOYA_ROOT (the source tree) and KUMOYA_BUILD (build/win64).
set -uo pipefail
root=${KUMOYA_ROOT:?set KUMOYA_ROOT to the source tree}
build=${KUMOYA_BUILD:?set KUMOYA_BUILD to the win64 build folder}
# Wine decodes the command line with the Unix locale; UTF-8 arguments need a
# UTF-8 locale.
export LC_ALL=${KUMOYA_E2E_LOCALE:-C.UTF-8}

own_wine=0
if [ -z "${WINEPREFIX:-}" ]; then
  # shellcheck source=scripts/wine-env.sh
  source "$root/scripts/wine-env.sh"
  own_wine=1
fi
WINE=${WINE:-wine}

work=$(mktemp -d /tmp/kumoya-driver-selftest.XXXXXX)
log="$work/window.log"
winlog="Z:$log"   # the same file as the Windows side names it
window_pid=""
failures=0

cleanup() {
  if [ -n "$window_pid" ] && kill -0 "$window_pid" 2>/dev/null; then
    kill "$window_pid" 2>/dev/null
    wait "$window_pid" 2>/dev/null
  fi
  rm -rf "$work"
  [ "$own_wine" = 1 ] && wine_env_cleanup
  return 0
}
trap cleanup EXIT

fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
pass() { echo "ok: $*"; }

# drv ARGS...: runs the driver, bounded; stdout in $out, exit code in $rc.
drv() {
  out=$(timeout 60 "$WINE" "$build/driver.exe" "$@" 2>"$work/stderr")
  rc=$?
  out=${out//$'\r'/}
}

# expect NAME EXPECTED-OUTPUT ARGS...: the driver succeeds and prints exactly that.
expect() {
  local name=$1 want=$2; shift 2
  drv "$@"
  if [ "$rc" -ne 0 ]; then fail "$name: exit $rc: $(cat "$work/stderr")"
  elif [ "$out" != "$want" ]; then fail "$name: printed [$out], expected [$want]"
  else pass "$name"; fi
}

# expect_rc NAME CODE ARGS...: the driver ends with that exit code.
expect_rc() {
  local name=$1 want=$2; shift 2
  drv "$@"
  if [ "$rc" -ne "$want" ]; then fail "$name: exit $rc, expected $want (stderr: $(cat "$work/stderr"))"
  else pass "$name"; fi
}

log_count() { local n; n=$(grep -cFx -- "$1" "$log" 2>/dev/null); echo "${n:-0}"; }

# wait_log NAME LINE [COUNT]: the window logs LINE (COUNT times in all) within 5 s.
wait_log() {
  local name=$1 line=$2 count=${3:-1}
  for _ in $(seq 50); do
    [ "$(log_count "$line")" -ge "$count" ] && { pass "$name"; return 0; }
    sleep 0.1
  done
  fail "$name: the window did not log [$line] (x$count); its log:"; sed 's/^/    /' "$log" >&2
  return 1
}

for exe in driver.exe recorder.exe; do
  [ -f "$build/$exe" ] || { echo "FAIL: $build/$exe is missing (build the win64 preset)" >&2; exit 1; }
done

# ------------------------------------------------------------------ recorder

rec_check() {  # rec_check NAME LOGFILE PYTHON-CONDITION-ON-LAST-LINE
  if python3 - "$2" "$3" <<'EOF'
import json, sys
lines = open(sys.argv[1], encoding="utf-8").read().splitlines()
r = json.loads(lines[-1])
sys.exit(0 if eval(sys.argv[2], {"r": r, "lines": lines, "json": json}) else 1)
EOF
  then pass "$1"; else fail "$1: $(tail -1 "$2" 2>/dev/null)"; fi
}

reclog="$work/recorder.log"
mkdir -p "$work/run here"
(cd "$work/run here" && KUMOYA_RECORDER_LOG="Z:$reclog" timeout 60 "$WINE" "$build/recorder.exe" \
  "a b" "日本 語" 'x"y' '' 'back\slash' >/dev/null 2>&1)
rec_check "recorder: quoted, Japanese, embedded quote and empty arguments" "$reclog" \
  'r["argv"][1:] == ["a b", "日本 語", "x\"y", "", "back\\slash"] and "\"a b\"" in r["cmdline"] and "日本 語" in r["cmdline"]'
rec_check "recorder: current directory and own path" "$reclog" \
  'r["cwd"].lower().endswith("\\run here") and r["exe"].lower().endswith("recorder.exe") and isinstance(r["pid"], int)'

# Started the way a shell starts a program minimised: the show value arrives.
KUMOYA_RECORDER_LOG="Z:$reclog" timeout 60 "$WINE" start /wait /min "$(sed 's|/|\\|g' <<<"Z:$build/recorder.exe")" doc.txt >/dev/null 2>&1
rec_check "recorder: show-window value from the starter" "$reclog" 'r["argv"][1:] == ["doc.txt"] and r["show"] in (2, 6, 7)'

# Instances started together each leave one whole line.
before=$(wc -l <"$reclog")
pids=()
for i in 1 2 3 4 5 6; do
  KUMOYA_RECORDER_LOG="Z:$reclog" timeout 60 "$WINE" "$build/recorder.exe" "n$i" "$(printf 'x%.0s' $(seq 200))" >/dev/null 2>&1 &
  pids+=($!)
done
wait "${pids[@]}"
rec_check "recorder: six simultaneous starts, six whole lines" "$reclog" \
  "len(lines) == $before + 6 and sorted(json.loads(l)['argv'][1] for l in lines[$before:]) == ['n%d' % i for i in range(1, 7)] and len({json.loads(l)['pid'] for l in lines[$before:]}) == 6"

# Without the variable the log lies beside the program.
mkdir -p "$work/bin"
cp "$build/recorder.exe" "$work/bin/recorder.exe"
env -u KUMOYA_RECORDER_LOG timeout 60 "$WINE" "$work/bin/recorder.exe" beside >/dev/null 2>&1
[ -f "$work/bin/recorder.log" ] && rec_check "recorder: default log beside the program" "$work/bin/recorder.log" 'r["argv"][1:] == ["beside"]' \
  || fail "recorder: no recorder.log beside the program"

# A log that cannot be written is an error, not a silent success.
KUMOYA_RECORDER_LOG="Z:$work/no such folder/x.log" timeout 60 "$WINE" "$build/recorder.exe" >/dev/null 2>&1
rc=$?
[ "$rc" -eq 2 ] && pass "recorder: unwritable log gives exit 2" || fail "recorder: unwritable log gave exit $rc"

# ------------------------------------------------------------------ driver

# The window runs from a copy under another name, so that it is a foreign
# program to the driver, as the launcher is (menus are read through a hook
# module loaded into the target).
T=DriverSelfTest
cp "$build/driver.exe" "$work/bin/selftest-window.exe"
timeout 300 "$WINE" "$work/bin/selftest-window.exe" selftest-window "$winlog" >"$work/window.out" 2>&1 &
window_pid=$!

drv wait-window "$T" --timeout 20000
hwnd=$out
if [ "$rc" -ne 0 ] || ! [[ "$hwnd" =~ ^0x[0-9a-f]+$ ]]; then
  fail "wait-window: exit $rc, printed [$hwnd]: $(cat "$work/stderr" "$work/window.out")"
  exit 1
fi
pass "wait-window prints the handle"
wait_log "window ready" "ready"
expect "wait-window by handle" "$hwnd" wait-window "$hwnd"
expect "wait-window --contains" "$hwnd" wait-window "SelfTe" --contains
expect "wait-window --class" "$hwnd" wait-window "$T" --class DriverSelfTestWindow
start=$(date +%s)
expect_rc "wait-window gives up on a missing window" 1 wait-window "No such window" --timeout 300
[ $(( $(date +%s) - start )) -lt 15 ] && pass "wait-window timeout is bounded" || fail "wait-window took too long to give up"

drv list-windows
grep -qF "$hwnd"$'\tDriverSelfTestWindow\tDriverSelfTest\t' <<<"$out" && pass "list-windows" || fail "list-windows: $out"

drv list-controls "$T"
controls=$out
for want in $'Button\t101\t&Push\tvisible\tenabled\t10,10,90,34' $'Button\t108\tHidden\thidden\tenabled' \
            $'Button\t109\tDisabled\tvisible\tdisabled' $'Edit\t103\t\tvisible\tenabled' $'SysListView32\t105\t' \
            $'SysTabControl32\t106\t' $'ComboBox\t104\t' $'ListBox\t110\t'; do
  grep -qF -- "$want" <<<"$controls" && pass "list-controls: ${want//$'\t'/ }" || fail "list-controls lacks [${want//$'\t'/ }]: $controls"
done

# Buttons and check boxes, by text (access key ignored) and by id.
expect "click a button by its text" "" click "$T" Push
wait_log "button notification" "clicked 101"
expect "click a check box by id" "" click "$T" 102
wait_log "check box notification" "check state=1"
expect "get-check" "1" get-check "$T" "Check me"
expect_rc "click refuses a hidden button" 1 click "$T" Hidden
expect_rc "click refuses a disabled button" 1 click "$T" Disabled
expect_rc "click a control that does not exist" 1 click "$T" "Nothing like it" --timeout 300

# Edit text, Japanese both ways.
expect "set-text" "" set-text "$T" 103 "こんにちは world"
expect "get-text" "こんにちは world" get-text "$T" 103
expect "get-text by class" "こんにちは world" get-text "$T" @Edit

# Combo box and list box.
expect "combo-items" $'Alpha\nベータ\nGamma' combo-items "$T" 104
expect "combo-select by index" "" combo-select "$T" 104 2
wait_log "combo notification" "combo selchange index=2 text=Gamma"
expect "combo text after selection" "Gamma" get-text "$T" @ComboBox
expect "combo-select by text" "" combo-select "$T" 104 "ベータ"
wait_log "combo notification (Japanese item)" "combo selchange index=1 text=ベータ"
expect "combo-items --selected" "1" combo-items "$T" 104 --selected
expect_rc "combo-select out of range" 1 combo-select "$T" 104 3
expect "listbox-items" $'one\n二' listbox-items "$T" 110
expect "listbox-select" "" listbox-select "$T" 110 1
wait_log "list box notification" "listbox selchange index=1"

# List view: read, select, double-click.
expect "listview-items with header" $'Name\tValue\nfirst\t1\nsecond\t日本語のテキスト\nthird\ttab\\there' \
  listview-items "$T" 105 --header
expect "listview-select" "" listview-select "$T" 105 1
wait_log "list view selection notification" "listview item=1 selected"
expect "listview-items --selected" "1" listview-items "$T" 105 --selected
expect "listview-select --add" "" listview-select "$T" 105 2 --add
expect "two items selected" $'1\n2' listview-items "$T" @SysListView32 --selected
expect "listview-select replaces the selection" "" listview-select "$T" 105 0
expect "one item selected" "0" listview-items "$T" 105 --selected
expect_rc "listview-select out of range" 1 listview-select "$T" 105 3
expect "listview-click (posted)" "" listview-click "$T" 105 1
wait_log "list view click notification" "listview click item=1"
expect "listview-dblclick (posted)" "" listview-dblclick "$T" 105 2
wait_log "list view double-click notification" "listview dblclk item=2"
expect "listview-click --double --mouse (real input)" "" listview-click "$T" 105 1 --double --mouse
wait_log "list view double-click by the mouse" "listview dblclk item=1"

# Tabs.
expect "tab-items" $'First\n二番目' tab-items "$T"
expect "tab-select" "" tab-select "$T" 1
wait_log "tab notification" "tab selchange index=1"
expect "tab-items --selected" "1" tab-items "$T" --control 106 --selected
expect_rc "tab-select out of range" 1 tab-select "$T" 2

# Focus and keys: navigation keys, layout keys and Unicode text.
expect "set-text empty" "" set-text "$T" 103 ""
expect "focus an edit" "" focus "$T" 103
drv focus "$T"
[[ "$out" == $'Edit\t103\t'* ]] && pass "focus reports the edit" || fail "focus printed [$out]"
expect "key" "" key "$T" "ab{LEFT}X日本"
expect "typed text arrived" "aX日本b" get-text "$T" 103
expect "key with Shift+Home and Delete" "" key "$T" "{END}+{HOME}{DEL}{{}q{}}"
expect "selection replaced" "{q}" get-text "$T" 103
expect "accelerator key" "" key "$T" "^h"
wait_log "accelerator reaches the window" "command 201"
expect "open the menu bar with Alt+F" "" key "$T" "%f"
expect_rc "menu open" 0 wait-window "" --class "#32768" --timeout 3000
expect "choose by access key" "" key - "t"
wait_log "menu item chosen from the keyboard" "command 203"

# Menus read by text: the main menu, then popup menus from a right click and
# from the keyboard's menu key, chosen with keys and with the mouse.
expect "menu-items" $'&File\tsubmenu=yes\tbitmap=no\tid=-\tenabled
  &Hello\\tCtrl+H\tsubmenu=no\tbitmap=no\tid=201\tenabled
  &Ticked\tsubmenu=no\tbitmap=no\tid=203\tenabled\tchecked
  &Disabled\tsubmenu=no\tbitmap=no\tid=204\tdisabled
  ---\tseparator
  E&xit\tsubmenu=no\tbitmap=no\tid=202\tenabled' menu-items "$T"
expect "menu by path" "" menu "$T" "File>Hello"
wait_log "menu command by path" "command 201" 2
expect "menu by item text alone" "" menu "$T" "Ticked"
wait_log "menu command by text" "command 203" 2
expect_rc "menu refuses a disabled item" 1 menu "$T" "Disabled"
expect_rc "menu item that does not exist" 1 menu "$T" "File>Nothing"

expect "listview-click --right" "" listview-click "$T" 105 0 --right
wait_log "right-click notification" "listview rclick item=0"
wait_log "popup menu shown" "popup shown"
expect_rc "popup menu window" 0 wait-window "" --class "#32768" --timeout 3000
expect "popup-menu-items" $'&Open\tsubmenu=no\tbitmap=no\tid=301\tenabled
名前の変更(&R)\tsubmenu=no\tbitmap=no\tid=302\tenabled
&Picture\tsubmenu=no\tbitmap=yes\tid=303\tenabled
---\tseparator
&More\tsubmenu=yes\tbitmap=no\tid=-\tenabled' popup-menu-items --timeout 3000
expect "popup menu: arrow keys and Enter" "" key - "{DOWN}{DOWN}{ENTER}"
wait_log "popup item chosen by keys" "command 302"
expect "popup menu closed" "" wait-gone "" --class "#32768" --timeout 3000
expect "context-menu (keyboard menu key)" "" context-menu "$T" 105
wait_log "second popup shown" "popup shown" 2
expect "popup-menu-choose opens a submenu" "" popup-menu-choose More
expect "the open submenu's items" $'&Deep\tsubmenu=no\tbitmap=no\tid=311\tenabled' popup-menu-items
expect "popup-menu-choose in the submenu" "" popup-menu-choose Deep
wait_log "submenu item chosen by the mouse" "command 311"
expect "context-menu again" "" context-menu "$T" 105
wait_log "third popup shown" "popup shown" 3
expect "popup-menu-choose a Japanese item" "" popup-menu-choose "名前の変更"
wait_log "Japanese item chosen by the mouse" "command 302" 2
expect "context-menu once more" "" context-menu "$T" 105
wait_log "fourth popup shown" "popup shown" 4
expect_rc "popup-menu-choose a missing item" 1 popup-menu-choose "Nothing"
expect "Escape closes the popup" "" key - "{ESC}"
expect "popup menu gone" "" wait-gone "" --class "#32768" --timeout 3000

# Mouse clicks on a control, posted and real.
expect "mouse-click (posted)" "" mouse-click "$T" 102
wait_log "posted click toggles the check box" "check state=0"
expect "mouse-click --mouse" "" mouse-click "$T" 102 --mouse
wait_log "real click toggles the check box" "check state=1" 2

# Message box opened by a button: read it, answer it.
expect "click opens a message box" "" click "$T" "Message..."
expect "message-box-text" $'SelfTest box\n本文のテキスト\nsecond line' message-box-text --timeout 5000
expect "message-box-click by text" "" message-box-click Cancel
wait_log "message box answered Cancel" "messagebox result=2"
expect "click opens it again" "" click "$T" "Message..."
expect "message-box-click by id and title" "" message-box-click 1 --title "SelfTest box"
wait_log "message box answered OK" "messagebox result=1"
expect_rc "message-box-text with no box open" 1 message-box-text --timeout 300

if command -v import >/dev/null 2>&1; then
  import -window root "$work/screen.png" 2>/dev/null
  colours=$(identify -format %k "$work/screen.png" 2>/dev/null || echo 0)
  [ "${colours:-0}" -gt 8 ] && pass "the window renders ($colours colours on screen)" || fail "screen looks blank ($colours colours)"
  [ -n "${KUMOYA_ARTIFACTS:-}" ] && mkdir -p "$KUMOYA_ARTIFACTS" && cp "$work/screen.png" "$KUMOYA_ARTIFACTS/driver_selftest.png"
fi

# Closing.
expect "close" "" close "$T"
expect "wait-gone" "" wait-gone "$T" --timeout 5000
wait_log "window destroyed" "destroyed"
for _ in $(seq 50); do kill -0 "$window_pid" 2>/dev/null || break; sleep 0.1; done
kill -0 "$window_pid" 2>/dev/null && fail "the self-test window process did not end" || pass "window process ended"
for id in 108 109; do
  [ "$(log_count "clicked $id")" -eq 0 ] && pass "no click reached button $id" || fail "button $id was clicked"
done
expect_rc "unknown subcommand" 2 no-such-subcommand

if [ "$failures" -gt 0 ]; then
  echo "driver self-test: $failures check(s) FAILED" >&2
  exit 1
fi
echo "driver self-test: all checks passed"
