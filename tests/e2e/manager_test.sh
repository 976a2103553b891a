#!/usr/bin/env bash
# The management window in the real program under Wine: it opens on the page
# stored last; the user picks a category, reads the list, launches a program
# (the recorder), takes a program out of the category, adds a category
# through the input dialog, renames a program in the property window with
# Enter and closes the window; the saved catalogue shows every change.
# Screenshots of the window and both dialogs go to artifacts/.
source "$(dirname "$0")/lib.sh"

e2e_need Zelkova.exe driver.exe recorder.exe kumoya-catalog.exe
command -v python3 >/dev/null || e2e_fail "python3 is needed to read the catalogue"
export LC_ALL=${KUMOYA_E2E_LOCALE:-C.UTF-8}  # Wine decodes arguments with the Unix locale

app=$E2E_WORK/app
mkdir -p "$app"
cp "$E2E_BUILD/Zelkova.exe" "$E2E_BUILD/kumoya-catalog.exe" "$app/"
cp "$E2E_BUILD/recorder.exe" "$app/editor.exe"
cp "$E2E_BUILD/recorder.exe" "$app/viewer.exe"
export KUMOYA_RECORDER_LOG=$(winepath -w "$E2E_WORK/launches.log" 2>/dev/null)
winapp=$(winepath -w "$app" 2>/dev/null)
[ -n "$winapp" ] || e2e_fail "winepath failed"


# The catalogue: two programs in "エディタ", the viewer also in "ツール";
# no launch menu at start, the settings page shown last.
python3 - "$winapp" >"$E2E_WORK/catalogue.json" <<'PY'
import json, sys
app = sys.argv[1]
def prog(i, name, title):
    return {"Id": i, "Path": app + "\\" + name, "Title": title, "LastLaunch": 0, "TodayCount": 0,
            "TotalCount": 0, "SpareNo": -1, "AssignEdited": 0, "TitleIndex": -1, "SpareArea": ""}
def ext(i, name, flag, progs):
    return {"Id": i, "Name": name, "MenuFlag": flag, "SpareArea": "", "ProgIds": progs}
print(json.dumps({
    "Head": {"SpareNo": 60, "HistoryMax": 5, "CountDate": 0, "MainPage": 2, "CategoryIndex": -1,
             "ExtensionIndex": -1, "MenuAtStart": 0, "ProxyHost": "", "ProxyPort": -1, "SmtpUser": "",
             "SmtpHost": "", "MailAddress": "", "Flags": 1, "SpareArea": ""},
    "Progs": [prog(0, "editor.exe", "エディタ一号"), prog(1, "viewer.exe", "ビューア")],
    "Categories": [ext(0, "エディタ", 1, [0, 1]), ext(1, "ツール", 0, [1])],
    "Extensions": [ext(0, "TXT", 0, [0, 1])],
    "History": {"Limit": 5, "Entries": []},
    "ExtParams": {"Limit": 100, "Entries": []},
}, ensure_ascii=False))
PY

dat=$(e2e_catalogue_name)
e2e_catalogue_load "$app" "$E2E_WORK/catalogue.json" "$dat"

e2e_start zelkova "$app/Zelkova.exe"
D wait-window Kumoya --timeout 30000 >/dev/null || e2e_fail "the management window did not open"
sleep 1


expect "page shown at start" "$(D tab-items Kumoya --selected)" "2"
expect "tabs" "$(D tab-items Kumoya | paste -sd,)" "種類別,拡張子別,設定,通信機能"
D tab-select Kumoya 0 >/dev/null || e2e_fail "tab-select"
expect "categories" "$(D combo-items Kumoya @ComboBox | paste -sd,)" "エディタ,ツール"
expect "list before a category is chosen" "$(D listview-items Kumoya @SysListView32 | paste -sd,)" ""

D combo-select Kumoya @ComboBox "エディタ" >/dev/null || e2e_fail "combo-select"
expect "titles" "$(D listview-items Kumoya @SysListView32 | cut -f1 | paste -sd,)" "エディタ一号,ビューア"
expect "shown in the menu" "$(D get-check Kumoya "起動時メニューに表示する")" "1"
e2e_screenshot manager_window

# Launch the viewer with the button.
D listview-select Kumoya @SysListView32 1 >/dev/null || e2e_fail "listview-select"
D click Kumoya "プログラムの起動" >/dev/null || e2e_fail "launch button"
for ((i = 0; i < 100; i++)); do [ -s "$E2E_WORK/launches.log" ] && break; sleep 0.1; done
[ -s "$E2E_WORK/launches.log" ] || e2e_fail "the program did not start"
launched=$(python3 -c 'import json,sys; print(json.loads(open(sys.argv[1]).read().splitlines()[-1])["exe"])' "$E2E_WORK/launches.log")
case "$launched" in *viewer.exe) e2e_log "launched: $launched" ;; *) e2e_fail "launched $launched" ;; esac

# Take the viewer out of "エディタ".
D listview-select Kumoya @SysListView32 1 >/dev/null
D click Kumoya "プログラムの削除" >/dev/null || e2e_fail "delete button"
expect "titles after the removal" "$(D listview-items Kumoya @SysListView32 | cut -f1 | paste -sd,)" "エディタ一号"

# The keyboard opens the list's popup menu as a right click does: Shift+F10
# and the menu key, on the selected item.
D listview-select Kumoya @SysListView32 0 >/dev/null
for keys in "+{F10}" "{APPS}"; do
  D focus Kumoya @SysListView32 >/dev/null
  D key Kumoya "$keys" >/dev/null || e2e_fail "typing $keys"
  D wait-window "" --class "#32768" --timeout 10000 >/dev/null || e2e_fail "$keys did not open the popup menu"
  D popup-menu-items --timeout 5000 | grep -q "プロパティ(&P)" || e2e_fail "$keys opened another menu"
  [ "$keys" = "{APPS}" ] && e2e_screenshot manager_context_menu
  D key - "{ESC}" >/dev/null
  D wait-gone "" --class "#32768" --timeout 10000 >/dev/null || e2e_fail "the popup menu did not close"
  e2e_log "popup menu from $keys: ok"
done

# Add a category through the input dialog, confirmed with Enter.
D click Kumoya "種類の追加" >/dev/null || e2e_fail "add button"
D wait-window "種類名の追加" --timeout 10000 >/dev/null || e2e_fail "the input dialog did not open"
D set-text "種類名の追加" @Edit "ゲーム" >/dev/null || e2e_fail "set-text"
sleep 0.5
e2e_screenshot manager_input
D focus "種類名の追加" @Edit >/dev/null
D key "種類名の追加" "{ENTER}" >/dev/null || e2e_fail "Enter in the input dialog"
D wait-gone "種類名の追加" --timeout 10000 >/dev/null || e2e_fail "the input dialog did not close"
expect "categories after the addition" "$(D combo-items Kumoya @ComboBox | paste -sd,)" "エディタ,ツール,ゲーム"

# The property window from the list's popup menu; rename with Enter.
D listview-click Kumoya @SysListView32 0 --right --mouse >/dev/null || e2e_fail "right click"
D wait-window "" --class "#32768" --timeout 10000 >/dev/null || e2e_fail "the popup menu did not open"
D popup-menu-choose "プロパティ(&P)" >/dev/null || e2e_fail "choosing the property item"
D wait-window "プロパティ" --timeout 10000 >/dev/null || e2e_fail "the property window did not open"
expect "property title" "$(D get-text "プロパティ" @Edit)" "エディタ一号"
D set-text "プロパティ" @Edit "新しい名前" >/dev/null || e2e_fail "set-text in the property window"
D focus "プロパティ" @Edit >/dev/null
e2e_screenshot manager_property
D key "プロパティ" "{ENTER}" >/dev/null || e2e_fail "Enter in the property window"
sleep 0.5
expect "titles after the rename" "$(D listview-items Kumoya @SysListView32 | cut -f1 | paste -sd,)" "新しい名前"

D close Kumoya >/dev/null || e2e_fail "close"
e2e_wait_exit zelkova 30 || e2e_fail "the program did not end after its window closed"

e2e_catalogue_dump "$app" "$dat" >"$E2E_WORK/saved.json"
python3 - "$E2E_WORK/saved.json" <<'PY' || e2e_fail "the saved catalogue misses changes: $(head -c 2000 "$E2E_WORK/saved.json")"
import json, sys
c = json.load(open(sys.argv[1], encoding="utf-8"))
cats = {e["Name"]: e for e in c["Categories"]}
progs = {p["Id"]: p for p in c["Progs"]}
assert list(cats) == ["エディタ", "ツール", "ゲーム"], list(cats)
assert cats["エディタ"]["ProgIds"] == [0], cats["エディタ"]
assert cats["ツール"]["ProgIds"] == [1], "the viewer stays in its other category"
assert cats["ゲーム"]["ProgIds"] == [] and cats["ゲーム"]["MenuFlag"] == 0
assert progs[0]["Title"] == "新しい名前", progs[0]["Title"]
assert progs[1]["TotalCount"] == 1, progs[1]
assert c["Head"]["MainPage"] == 0 and c["Head"]["CategoryIndex"] == 0, c["Head"]
print("saved catalogue: ok")
PY
e2e_finish
echo "manager: ok"
