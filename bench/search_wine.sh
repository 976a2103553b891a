#!/usr/bin/env bash
# The program-file search under Wine, with icons: the search window's
# SearchFolder with subfolders on a generated tree of 100,000 files in 5,000
# folders, 500 of them program files (hard links to Wine's notepad.exe, so
# that each has an icon), beside plain FindFirstFileW walks of the same tree
# in the same process (search_timer.exe). Prints the median of RUNS runs.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
runs=${RUNS:-3}
build=${KUMOYA_BUILD:-$root/build/win64}
[ -n "${WINEPREFIX:-}" ] || { source scripts/wine-env.sh; trap wine_env_cleanup EXIT; }
WINE=${WINE:-wine}

work=$(mktemp -d)
trap 'rm -rf "$work"; [ -n "${KUMOYA_XVFB_PID:-}" ] && wine_env_cleanup' EXIT
notepad=$(winepath -u 'C:\windows\notepad.exe' 2>/dev/null)
python3 - "$work/tree" "$notepad" <<'PY'
import os, sys
root, notepad = sys.argv[1], sys.argv[2]
n = 0
def fill(folder):
    global n
    os.makedirs(folder, exist_ok=True)
    for i in range(20):
        if n % 200 == 0:
            path = os.path.join(folder, "file%d%s" % (i, ".exe" if n % 400 == 0 else ".EXE"))
            try:
                os.link(notepad, path)
            except OSError:
                open(path, "wb").write(open(notepad, "rb").read())
        else:
            open(os.path.join(folder, "file%d%s" % (i, ".txt" if i % 2 else ".dll")), "wb").close()
        n += 1
for t in range(50):
    top = os.path.join(root, "top%d" % t)
    fill(top)
    for s in range(99):
        fill(os.path.join(top, "sub%d" % s))
PY
wineserver -p 2>/dev/null || true
out=$($WINE "$build/search_timer.exe" "$(winepath -w "$work/tree")" "$runs" | tr -d '\r')
echo "$out"
median() { sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
field() { sed -n "s/.*$1=\\([0-9]*\\).*/\\1/p" <<<"$out" | median; }
s=$(field search); w=$(field walk); wi=$(field walk_icons)
echo "search with icons (median of $runs): ${s} ms, rows $(field rows)"
echo "FindFirstFileW walk: ${w} ms; walk with the shell's small icons: ${wi} ms"
awk -v s="$s" -v w="$w" -v wi="$wi" 'BEGIN { printf "ratio to the walk: %.2f; to the walk with icons: %.2f\n", s / w, s / wi }'
