#!/usr/bin/env bash
# The registration dialog in the real program under Wine, as a user meets it:
# started with a program file, Kumoya opens the dialog; the user types a
# title, marks a category and an extension and presses 変更, which stores the
# program and ends the run; the saved catalogue holds it with its
# memberships. Then the management window's "プログラムの追加" opens the
# dialog beside the search window, which finds the program files of a
# prepared folder; a click on a row fills the dialog. "登録プログラムの修正"
# lists the registered programs there. Screenshots of the three modes go to
# artifacts/.
source "$(dirname "$0")/lib.sh"

e2e_need Zelkova.exe driver.exe recorder.exe kumoya-catalog.exe
command -v python3 >/dev/null || e2e_fail "python3 is needed to read the catalogue"
export LC_ALL=${KUMOYA_E2E_LOCALE:-C.UTF-8}  # Wine decodes arguments with the Unix locale

app=$E2E_WORK/app
mkdir -p "$app" "$E2E_WORK/tree/sub/deep" "$E2E_WORK/tree/dotted.dir"
cp "$E2E_BUILD/Zelkova.exe" "$E2E_BUILD/kumoya-catalog.exe" "$app/"
cp "$E2E_BUILD/recorder.exe" "$app/tool.exe"
cp "$E2E_BUILD/recorder.exe" "$app/viewer.exe"
# The folder the search window searches: three program files (one in lower
# case), other files, one inside a dotted folder that is not searched.
for f in tree/a.EXE tree/readme.txt tree/sub/b.exe tree/sub/deep/c.Exe tree/dotted.dir/hidden.exe; do
  cp "$E2E_BUILD/recorder.exe" "$E2E_WORK/$f"
done
winapp=$(winepath -w "$app" 2>/dev/null)
wintree=$(winepath -w "$E2E_WORK/tree" 2>/dev/null)
[ -n "$winapp" ] && [ -n "$wintree" ] || e2e_fail "winepath failed"


# One registered viewer in "ツール" and TXT; no launch menu at start.
python3 - "$winapp" >"$E2E_WORK/catalogue.json" <<'PY'
import json, sys
app = sys.argv[1]
def ext(i, name, flag, progs):
    return {"Id": i, "Name": name, "MenuFlag": flag, "SpareArea": "", "ProgIds": progs}
print(json.dumps({
    "Head": {"SpareNo": 60, "HistoryMax": 5, "CountDate": 0, "MainPage": 0, "CategoryIndex": -1,
             "ExtensionIndex": -1, "MenuAtStart": 0, "ProxyHost": "", "ProxyPort": -1, "SmtpUser": "",
             "SmtpHost": "", "MailAddress": "", "Flags": 1, "SpareArea": ""},
    "Progs": [{"Id": 0, "Path": app + "\\viewer.exe", "Title": "ビューア", "LastLaunch": 0, "TodayCount": 0,
               "TotalCount": 0, "SpareNo": -1, "AssignEdited": 0, "TitleIndex": -1, "SpareArea": ""}],
    "Categories": [ext(0, "ツール", 1, [0]), ext(1, "ゲーム", 0, [])],
    "Extensions": [ext(0, "TXT", 0, [0]), ext(1, "LOG", 0, [])],
    "History": {"Limit": 5, "Entries": []},
    "ExtParams": {"Limit": 100, "Entries": []},
}, ensure_ascii=False))
PY
dat=$(e2e_catalogue_name)
e2e_catalogue_load "$app" "$E2E_WORK/catalogue.json" "$dat"

dump() { e2e_catalogue_dump "$app" "$dat" >"$E2E_WORK/saved.json"; }

e2e_log "prepared ($SECONDS s)"
# ---- started with a program file: the dialog alone ----
e2e_start single "$app/Zelkova.exe" "$winapp\\tool.exe"
dlg="プログラムの変更"
D wait-window "$dlg" --timeout 30000 >/dev/null || e2e_fail "the registration dialog did not open"
expect "path" "$(D get-text "$dlg" @Edit#1)" "$winapp\\tool.exe"
expect "no suggestion on this path" "$(D get-text "$dlg" @Edit#2)" ""
expect "categories" "$(D listview-items "$dlg" @SysListView32#1 | paste -sd,)" "ツール,ゲーム"
expect "extensions (the catalogue keeps them by name)" "$(D listview-items "$dlg" @SysListView32#2 | paste -sd,)" "LOG,TXT"
D set-text "$dlg" @Edit#2 "便利な道具" >/dev/null || e2e_fail "typing the title"
# Marks with the keyboard: the item highlighted, then Space.
for list in "@SysListView32#1 1" "@SysListView32#2 0"; do
  set -- $list
  D listview-select "$dlg" "$1" "$2" >/dev/null || e2e_fail "listview-select $1"
  D focus "$dlg" "$1" >/dev/null
  D key "$dlg" "{SPACE}" >/dev/null || e2e_fail "Space in $1"
done
sleep 0.5
e2e_screenshot registration_single_file
D click "$dlg" "変更" >/dev/null || e2e_fail "the store button"
expect "stored" "$(D message-box-text --timeout 10000 | tail -n +2 | paste -sd' ')" "プログラムを追加しました。"
D message-box-click OK >/dev/null || e2e_fail "closing the message"
e2e_wait_exit single 30 || e2e_fail "the run did not end after the dialog stored the program"

dump
python3 - "$E2E_WORK/saved.json" "$winapp" <<'PY' || e2e_fail "the program is not in the catalogue as stored: $(head -c 2000 "$E2E_WORK/saved.json")"
import json, sys
c = json.load(open(sys.argv[1], encoding="utf-8"))
progs = {p["Path"].lower(): p for p in c["Progs"]}
tool = progs[(sys.argv[2] + "\\tool.exe").lower()]
assert tool["Title"] == "便利な道具" and tool["TitleIndex"] == -1 and tool["AssignEdited"] == 1, tool
cats = {e["Name"]: e["ProgIds"] for e in c["Categories"]}
exts = {e["Name"]: e["ProgIds"] for e in c["Extensions"]}
assert cats == {"ツール": [0], "ゲーム": [tool["Id"]]}, cats
assert exts == {"TXT": [0], "LOG": [tool["Id"]]}, exts
PY
e2e_log "the program file registered through the dialog is in the catalogue"

# ---- the management window: search mode, then catalogue mode ----
e2e_start manager "$app/Zelkova.exe"
D wait-window Kumoya --timeout 30000 >/dev/null || e2e_fail "the management window did not open"
D click Kumoya "プログラムの追加" >/dev/null || e2e_fail "the add button"
dlg="プログラムの追加"
search="プログラムファイルの検索"
D wait-window "$dlg" --timeout 10000 >/dev/null || e2e_fail "the dialog did not open in search mode"
D wait-window "$search" --timeout 10000 >/dev/null || e2e_fail "the search window did not show"
# Typed: a multi-line box reports no change for WM_SETTEXT.
D focus "$search" @Edit >/dev/null
D key "$search" "$wintree" >/dev/null || e2e_fail "typing the folder"
D click "$search" "検索" >/dev/null || e2e_fail "the search button"
D wait-window "検索情報" --timeout 10000 >/dev/null ||
  e2e_fail "the conditions did not show; windows: $(D list-windows | paste -sd';')"
D click "検索情報" "OK" >/dev/null || e2e_fail "OK in the conditions"
for ((i = 0; i < 100; i++)); do
  [ "$(D listview-items "$search" @SysListView32 | wc -l)" -ge 3 ] && break
  sleep 0.1
done
rows=$(D listview-items "$search" @SysListView32 | sed 's/.*\\//' | sort | paste -sd,)
expect "program files found" "$rows" "a.EXE,b.exe,c.Exe"
row=$(D listview-items "$search" @SysListView32 | grep -n 'sub.*b\.exe$' | cut -d: -f1)
D listview-click "$search" @SysListView32 $((row - 1)) >/dev/null || e2e_fail "clicking a row"
sleep 0.5
expect "a row fills the dialog" "$(D get-text "$dlg" @Edit#1)" "$wintree\\sub\\b.exe"
e2e_screenshot registration_search
D click "$dlg" "閉じる" >/dev/null || e2e_fail "closing the dialog"
D wait-gone "$dlg" --timeout 10000 >/dev/null || e2e_fail "the dialog stayed"

D menu Kumoya "編集(&E)>登録プログラムの修正" >/dev/null || e2e_fail "the catalogue-mode menu item"
D wait-window "$dlg" --timeout 10000 >/dev/null || e2e_fail "the dialog did not open in catalogue mode"
expect "registered programs" "$(D listview-items "$search" @SysListView32 | cut -f1 | paste -sd,)" "ビューア,便利な道具"
D listview-click "$search" @SysListView32 1 >/dev/null || e2e_fail "clicking a program"
sleep 0.5
expect "the program's title" "$(D get-text "$dlg" @Edit#2)" "便利な道具"
e2e_screenshot registration_catalogue
D click "$dlg" "閉じる" >/dev/null || e2e_fail "closing the dialog"
D wait-gone "$dlg" --timeout 10000 >/dev/null || e2e_fail "the dialog stayed"
D close Kumoya >/dev/null || e2e_fail "close"
e2e_wait_exit manager 30 || e2e_fail "the program did not end after its window closed"

e2e_log "PASS ($SECONDS s)"
e2e_finish
