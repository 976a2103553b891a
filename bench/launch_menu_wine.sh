#!/usr/bin/env bash
# Time from process start until the launch menu is on the screen, under Wine,
# for catalogues of 1,000 programs in 10 categories and 10,000 programs in
# 100 categories, each program with three history files, beside a minimal
# Win32 program that shows a one-entry popup menu. Runs are interleaved, so
# that a change in the machine's load falls on all of them alike. Prints the
# median of several runs of each and the ratios to the baseline.
#
#   RUNS=7 bench/launch_menu_wine.sh            # sizes from SIZES, default "1000 10000"
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
runs=${RUNS:-7}
sizes=${SIZES:-1000 10000}
build=${KUMOYA_BUILD:-$root/build/win64}
[ -n "${WINEPREFIX:-}" ] || { source scripts/wine-env.sh; trap wine_env_cleanup EXIT; }
WINE=${WINE:-wine}

work=$(mktemp -d)
trap 'rm -rf "$work"; [ -n "${KUMOYA_XVFB_PID:-}" ] && wine_env_cleanup' EXIT
cp "$build/Zelkova.exe" "$build/kumoya-catalog.exe" "$build/menu_timer.exe" "$build/popup_baseline.exe" "$work/"
computer=$($WINE cmd /c 'echo %COMPUTERNAME%' 2>/dev/null | tr -d '\r\n')
for n in $sizes; do
  mkdir -p "$work/p$n"
  cp "$work/Zelkova.exe" "$work/p$n/"
  python3 - "$work/big$n.json" "$n" <<'PY'
import json, sys
out, n = sys.argv[1], int(sys.argv[2])
ncat = max(1, n // 100)
exes = [r"C:\windows\notepad.exe", r"C:\windows\regedit.exe", r"C:\windows\system32\winemine.exe",
        r"C:\windows\system32\cmd.exe", r"C:\windows\system32\taskmgr.exe", r"C:\windows\system32\control.exe",
        r"C:\windows\system32\wordpad.exe", r"C:\windows\system32\msiexec.exe"]
progs, cats, hist = [], [], []
for c in range(ncat):
    cats.append({"Id": c, "Name": "Category %d" % c, "MenuFlag": 1, "SpareArea": "", "ProgIds": []})
for i in range(n):
    progs.append({"Id": i, "Path": exes[i % len(exes)], "Title": "Program %d" % i, "LastLaunch": 0,
                  "TodayCount": 0, "TotalCount": 0, "SpareNo": -1, "AssignEdited": 0, "TitleIndex": -1,
                  "SpareArea": ""})
    cats[i % ncat]["ProgIds"].append(i)
    hist.append({"ProgId": i, "HasParams": 0,
                 "Items": [r"C:\users\Public\Documents\file%d_%d.txt" % (i, h) for h in range(3)]})
doc = {"Head": {"SpareNo": 60, "HistoryMax": 5, "CountDate": 0, "MainPage": 0, "CategoryIndex": -1,
                "ExtensionIndex": -1, "MenuAtStart": 1, "ProxyHost": "", "ProxyPort": -1, "SmtpUser": "",
                "SmtpHost": "", "MailAddress": "", "Flags": 1, "SpareArea": ""},
       "Progs": progs, "Categories": cats, "Extensions": [],
       "History": {"Limit": 5, "Entries": hist}, "ExtParams": {"Limit": 100, "Entries": []}}
json.dump(doc, open(out, "w"))
PY
  (cd "$work" && $WINE kumoya-catalog.exe load "big$n.json" "p$n\\${computer}.dat")
  cp "$work/p$n/${computer}.dat" "$work/p$n/saved.dat"
done

median() { sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
once() {  # once NAME PROGRAM: one timed run, appended to NAME.times
  (cd "$work" && $WINE menu_timer.exe "$2") | tr -d '\r' >>"$work/$1.times" || echo "NaN" >>"$work/$1.times"
}
# One warm-up of each, so all find Wine's libraries in the page cache.
(cd "$work" && $WINE menu_timer.exe popup_baseline.exe >/dev/null) || true
for n in $sizes; do
  (cd "$work" && $WINE menu_timer.exe "p$n\\Zelkova.exe" >/dev/null) || true
  cp "$work/p$n/saved.dat" "$work/p$n/${computer}.dat"
done
for _ in $(seq "$runs"); do
  once base popup_baseline.exe
  for n in $sizes; do
    once "k$n" "p$n\\Zelkova.exe"
    cp "$work/p$n/saved.dat" "$work/p$n/${computer}.dat"
  done
done
base=$(median <"$work/base.times")
echo "baseline popup (median of $runs): ${base} ms"
for n in $sizes; do
  k=$(median <"$work/k$n.times")
  printf "Kumoya launch menu, %d programs in %d categories (median of %d): %s ms, ratio %s\n" \
    "$n" $((n / 100 > 0 ? n / 100 : 1)) "$runs" "$k" "$(awk -v k="$k" -v b="$base" 'BEGIN { printf "%.2f", k / b }')"
done
