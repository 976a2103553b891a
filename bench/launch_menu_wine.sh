#!/usr/bin/env bash
# Time from process start until the launch menu is on the screen, under Wine,
# for a catalogue of 1,000 programs in 20 categories with three history files
# each, beside a minimal Win32 program that shows a one-entry popup menu.
# Prints the median of several runs of each and their ratio.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
runs=${RUNS:-7}
build=${KUMOYA_BUILD:-$root/build/win64}
[ -n "${WINEPREFIX:-}" ] || { source scripts/wine-env.sh; trap wine_env_cleanup EXIT; }
WINE=${WINE:-wine}

work=$(mktemp -d)
trap 'rm -rf "$work"; [ -n "${KUMOYA_XVFB_PID:-}" ] && wine_env_cleanup' EXIT
cp "$build/Zelkova.exe" "$build/kumoya-catalog.exe" "$build/menu_timer.exe" "$build/popup_baseline.exe" "$work/"
computer=$($WINE cmd /c 'echo %COMPUTERNAME%' 2>/dev/null | tr -d '\r\n')
python3 - "$work/big.json" <<'PY'
import json, sys
exes = [r"C:\windows\notepad.exe", r"C:\windows\regedit.exe", r"C:\windows\system32\winemine.exe",
        r"C:\windows\system32\cmd.exe", r"C:\windows\system32\taskmgr.exe", r"C:\windows\system32\control.exe",
        r"C:\windows\system32\wordpad.exe", r"C:\windows\system32\msiexec.exe"]
progs, cats, hist = [], [], []
for c in range(20):
    cats.append({"Id": c, "Name": "Category %d" % c, "MenuFlag": 1, "SpareArea": "", "ProgIds": []})
for i in range(1000):
    progs.append({"Id": i, "Path": exes[i % len(exes)], "Title": "Program %d" % i, "LastLaunch": 0,
                  "TodayCount": 0, "TotalCount": 0, "SpareNo": -1, "AssignEdited": 0, "TitleIndex": -1,
                  "SpareArea": ""})
    cats[i % 20]["ProgIds"].append(i)
    hist.append({"ProgId": i, "HasParams": 0,
                 "Items": [r"C:\users\Public\Documents\file%d_%d.txt" % (i, h) for h in range(3)]})
doc = {"Head": {"SpareNo": 60, "HistoryMax": 5, "CountDate": 0, "MainPage": 0, "CategoryIndex": -1,
                "ExtensionIndex": -1, "MenuAtStart": 1, "ProxyHost": "", "ProxyPort": -1, "SmtpUser": "",
                "SmtpHost": "", "MailAddress": "", "Flags": 1, "SpareArea": ""},
       "Progs": progs, "Categories": cats, "Extensions": [],
       "History": {"Limit": 5, "Entries": hist}, "ExtParams": {"Limit": 100, "Entries": []}}
json.dump(doc, open(sys.argv[1], "w"))
PY
(cd "$work" && $WINE kumoya-catalog.exe load big.json "${computer}.dat")

median() { sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
measure() {  # measure PROGRAM -> one line per run
  for _ in $(seq "$runs"); do
    cp "$work/${computer}.dat" "$work/saved.dat"
    (cd "$work" && $WINE menu_timer.exe "$1") || echo "NaN"
    cp "$work/saved.dat" "$work/${computer}.dat"
  done
}
# One warm-up of each, so both find Wine's libraries in the page cache.
(cd "$work" && $WINE menu_timer.exe popup_baseline.exe >/dev/null; $WINE menu_timer.exe Zelkova.exe >/dev/null) || true
base=$(measure popup_baseline.exe | tr -d '\r' | median)
kumoya=$(measure Zelkova.exe | tr -d '\r' | median)
echo "baseline popup (median of $runs): ${base} ms"
echo "Kumoya launch menu, 1000 programs (median of $runs): ${kumoya} ms"
awk -v k="$kumoya" -v b="$base" 'BEGIN { printf "ratio: %.2f\n", k / b }'
