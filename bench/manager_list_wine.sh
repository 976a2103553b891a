#!/usr/bin/env bash
# Time from process start until the management window's program list holds
# all its rows, the last one with its icon, under Wine, for a category of
# ROWS programs (1,000 by default), beside a minimal Win32 program that fills
# a list view with the same rows and the same icons (list_baseline.exe).
# DISTINCT program files are spread over the rows (8 by default: the
# system's programs; with more, hard links to one program file stand in).
# Prints the median of several runs of each and their ratio.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
runs=${RUNS:-5}
rows=${ROWS:-1000}
distinct=${DISTINCT:-8}
build=${KUMOYA_BUILD:-$root/build/win64}
[ -n "${WINEPREFIX:-}" ] || { source scripts/wine-env.sh; trap wine_env_cleanup EXIT; }
WINE=${WINE:-wine}

work=$(mktemp -d)
trap 'rm -rf "$work"; [ -n "${KUMOYA_XVFB_PID:-}" ] && wine_env_cleanup' EXIT
cp "$build/Zelkova.exe" "$build/kumoya-catalog.exe" "$build/list_timer.exe" "$build/list_baseline.exe" "$work/"
computer=$($WINE cmd /c 'echo %COMPUTERNAME%' 2>/dev/null | tr -d '\r\n')
winwork=$(winepath -w "$work" 2>/dev/null)
if [ "$distinct" -gt 8 ]; then
  mkdir -p "$work/progs"
  notepad=$(winepath -u 'C:\windows\notepad.exe' 2>/dev/null)
  for i in $(seq 0 $((distinct - 1))); do ln "$notepad" "$work/progs/p$i.exe" 2>/dev/null || cp "$notepad" "$work/progs/p$i.exe"; done
fi
python3 - "$work/big.json" "$work/paths.txt" "$rows" "$distinct" "$winwork" <<'PY'
import json, sys
out, paths_out, rows, distinct, winwork = sys.argv[1], sys.argv[2], int(sys.argv[3]), int(sys.argv[4]), sys.argv[5]
system = [r"C:\windows\notepad.exe", r"C:\windows\regedit.exe", r"C:\windows\system32\winemine.exe",
          r"C:\windows\system32\cmd.exe", r"C:\windows\system32\taskmgr.exe", r"C:\windows\system32\control.exe",
          r"C:\windows\system32\wordpad.exe", r"C:\windows\system32\msiexec.exe"]
exes = system[:distinct] if distinct <= 8 else [winwork + "\\progs\\p%d.exe" % i for i in range(distinct)]
progs = []
for i in range(rows):
    progs.append({"Id": i, "Path": exes[i % len(exes)], "Title": "Program %d" % i, "LastLaunch": 0,
                  "TodayCount": 0, "TotalCount": 0, "SpareNo": -1, "AssignEdited": 0, "TitleIndex": -1,
                  "SpareArea": ""})
cats = [{"Id": 0, "Name": "Category", "MenuFlag": 1, "SpareArea": "", "ProgIds": list(range(rows))}]
doc = {"Head": {"SpareNo": 60, "HistoryMax": 5, "CountDate": 0, "MainPage": 0, "CategoryIndex": 0,
                "ExtensionIndex": -1, "MenuAtStart": 0, "ProxyHost": "", "ProxyPort": -1, "SmtpUser": "",
                "SmtpHost": "", "MailAddress": "", "Flags": 1, "SpareArea": ""},
       "Progs": progs, "Categories": cats, "Extensions": [],
       "History": {"Limit": 5, "Entries": []}, "ExtParams": {"Limit": 100, "Entries": []}}
json.dump(doc, open(out, "w"))
open(paths_out, "w").write("\n".join(p["Path"] for p in progs) + "\n")
PY
(cd "$work" && $WINE kumoya-catalog.exe load big.json "${computer}.dat")

median() { sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
measure() {  # measure PROGRAM [ARGS] -> one line per run
  for _ in $(seq "$runs"); do
    cp "$work/${computer}.dat" "$work/saved.dat"
    (cd "$work" && $WINE list_timer.exe "$rows" "$@") || echo "NaN"
    cp "$work/saved.dat" "$work/${computer}.dat"
  done
}
# One warm-up of each, so both find Wine's libraries in the page cache.
(cd "$work" && $WINE list_timer.exe "$rows" list_baseline.exe paths.txt >/dev/null;
 $WINE list_timer.exe "$rows" Zelkova.exe >/dev/null) || true
base=$(measure list_baseline.exe paths.txt | tr -d '\r' | median)
kumoya=$(measure Zelkova.exe | tr -d '\r' | median)
echo "baseline list of $rows rows, $distinct program files (median of $runs): ${base} ms"
echo "Kumoya management window, $rows programs (median of $runs): ${kumoya} ms"
awk -v k="$kumoya" -v b="$base" 'BEGIN { printf "ratio: %.2f\n", k / b }'
