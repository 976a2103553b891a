#!/usr/bin/env bash
# F1 and the help menu in the real program under Wine. There is no WinHelp
# file, so every request opens a page of the HTML help beside the program
# through the shell; a stand-in browser registered for ".html" (the recorder)
# notes each page it is asked to open. F1 on each page of the management
# window, in the registration dialog, the search window and its conditions,
# on each wizard page and in the property window, and the four help menu
# items, must each open their own page. Window pictures of the pages go to artifacts/
# (scripts/help-screenshots.sh copies them into the help).
source "$(dirname "$0")/lib.sh"

e2e_need Zelkova.exe driver.exe recorder.exe kumoya-catalog.exe
export LC_ALL=${KUMOYA_E2E_LOCALE:-C.UTF-8}

# As on a Japanese Windows, the program sits in a folder with a Japanese name
# (the help's paths go through the shell in the system's code page).
app=$E2E_WORK/app
[ "${KUMOYA_EXPECT_ACP:-}" = 932 ] && app=$E2E_WORK/雲屋
mkdir -p "$app"
cp "$E2E_BUILD/Zelkova.exe" "$E2E_BUILD/kumoya-catalog.exe" "$app/"
cp -r "$E2E_ROOT/help" "$app/help"
cp "$E2E_BUILD/recorder.exe" "$app/editor.exe"
cp "$E2E_BUILD/recorder.exe" "$E2E_WORK/browser.exe"
log=$E2E_WORK/pages.log
export KUMOYA_RECORDER_LOG=$(winepath -w "$log" 2>/dev/null)
winapp=$(winepath -w "$app" 2>/dev/null)
browser=$(winepath -w "$E2E_WORK/browser.exe" 2>/dev/null)
[ -n "$winapp" ] && [ -n "$browser" ] || e2e_fail "winepath failed"
e2e_log "program folder: $winapp"


# The stand-in browser opens ".html" files (one import: each Wine call costs).
python3 - "$browser" >"$E2E_WORK/browser.reg" <<'PY'
import sys
command = '"%s" "%%1"' % sys.argv[1]
escaped = command.replace("\\", "\\\\").replace('"', '\\"')
print("REGEDIT4")
for root in ("HKEY_CURRENT_USER", "HKEY_LOCAL_MACHINE"):
    print(f'[{root}\\Software\\Classes\\.html]\n@="KumoyaTestPage"')
    print(f'[{root}\\Software\\Classes\\KumoyaTestPage\\shell\\open\\command]\n@="{escaped}"')
PY
"$WINE" reg import "$(winepath -w "$E2E_WORK/browser.reg")" >/dev/null 2>&1 || e2e_fail "could not register the stand-in browser"

python3 - "$winapp" >"$E2E_WORK/catalogue.json" <<'PY'
import json, sys
app = sys.argv[1]
print(json.dumps({
    "Head": {"SpareNo": 60, "HistoryMax": 5, "CountDate": 0, "MainPage": 0, "CategoryIndex": 0,
             "ExtensionIndex": 0, "MenuAtStart": 0, "ProxyHost": "", "ProxyPort": -1, "SmtpUser": "",
             "SmtpHost": "", "MailAddress": "", "Flags": 1, "SpareArea": ""},
    "Progs": [{"Id": 0, "Path": app + "\\editor.exe", "Title": "エディタ一号", "LastLaunch": 0, "TodayCount": 0,
               "TotalCount": 3, "SpareNo": -1, "AssignEdited": 0, "TitleIndex": -1, "SpareArea": ""}],
    "Categories": [{"Id": 0, "Name": "エディタ", "MenuFlag": 1, "SpareArea": "", "ProgIds": [0]}],
    "Extensions": [{"Id": 0, "Name": "TXT", "MenuFlag": 0, "SpareArea": "", "ProgIds": [0]}],
    "History": {"Limit": 5, "Entries": []},
    "ExtParams": {"Limit": 100, "Entries": []},
}, ensure_ascii=False))
PY
dat=$(e2e_catalogue_name)
e2e_catalogue_load "$app" "$E2E_WORK/catalogue.json" "$dat"

e2e_start zelkova "$app/Zelkova.exe"
D wait-window Kumoya --timeout 90000 >/dev/null ||
  e2e_fail "the management window did not open: $(D list-windows) $(e2e_output zelkova) $(cat "$E2E_WORK/zelkova.err" | tail -5)"
sleep 1

# expect_page WHAT PAGE: waits (bounded) for the next page the browser was
# asked to open and checks it is help\PAGE beside the program.
opened=0
lines() { if [ -f "$log" ]; then wc -l <"$log"; else echo 0; fi; }
expect_page() {
  local what=$1 page=$2 i got
  for ((i = 0; i < 150; i++)); do
    [ "$(lines)" -gt "$opened" ] && break
    sleep 0.1
  done
  [ "$(lines)" -gt "$opened" ] || e2e_fail "$what: no page was opened"
  opened=$((opened + 1))
  got=$(python3 -c 'import json,sys; print(json.loads(open(sys.argv[1], encoding="utf-8").read().splitlines()[int(sys.argv[2])])["argv"][1])' "$log" $((opened - 1)))
  [ "$got" = "$winapp\\help\\$page" ] || e2e_fail "$what: opened [$got], wanted [$winapp\\help\\$page]"
  e2e_log "$what: $page"
}

window_shot() {  # window_shot TITLE NAME: the window alone
  local id
  e2e_have_xdotool || return 0
  id=$(xdotool search --name "^$1\$" 2>/dev/null | head -1)
  [ -n "$id" ] && import -window "$id" "$E2E_ARTIFACTS/$2.png" 2>/dev/null && e2e_log "screenshot artifacts/$2.png"
}

pages=(categories extensions settings network)
for index in 0 1 2 3; do
  D tab-select Kumoya $index >/dev/null || e2e_fail "tab-select $index"
  sleep 0.5
  window_shot Kumoya "help-${pages[$index]}"
  D key Kumoya "{F1}" >/dev/null || e2e_fail "F1 on page $index"
  expect_page "F1 on page $index" "${pages[$index]}.html"
done
# F1 with the list focused opens the topic of the page the list is on.
D tab-select Kumoya 0 >/dev/null
D focus Kumoya @SysListView32 >/dev/null || e2e_fail "focus on the list"
D key Kumoya "{F1}" >/dev/null
expect_page "F1 in the category list" categories.html

D menu Kumoya "ﾍﾙﾌﾟ>開く" >/dev/null || e2e_fail "help menu: contents"
expect_page "help menu, contents" index.html
D menu Kumoya "ﾍﾙﾌﾟ>キーワード検索" >/dev/null || e2e_fail "help menu: keywords"
expect_page "help menu, keyword search" keywords.html
D menu Kumoya "ﾍﾙﾌﾟ>Tips表示" >/dev/null || e2e_fail "help menu: tips"
expect_page "help menu, tips" tips.html
D menu Kumoya "ﾍﾙﾌﾟ>ﾍﾙﾌﾟの使い方" >/dev/null || e2e_fail "help menu: help on help"
expect_page "help menu, help on help" using-help.html

# The registration dialog, its search window and the search conditions:
# F1 in each opens its own page.
D click Kumoya "プログラムの追加" >/dev/null || e2e_fail "the add button"
dlg="プログラムの追加"
search="プログラムファイルの検索"
D wait-window "$dlg" --timeout 10000 >/dev/null || e2e_fail "the registration dialog did not open"
D wait-window "$search" --timeout 10000 >/dev/null || e2e_fail "the search window did not show"
# The folder to search is typed first, while the search window has the
# keyboard (a multi-line box reports no change for WM_SETTEXT).
D focus "$search" @Edit >/dev/null
D key "$search" "$winapp" >/dev/null || e2e_fail "typing the folder"
expect "the folder to search" "$(D get-text "$search" @Edit)" "$winapp"
D focus "$dlg" @Edit#1 >/dev/null
D key "$dlg" "{F1}" >/dev/null || e2e_fail "F1 in the registration dialog"
expect_page "F1 in the registration dialog" registration.html
D focus "$search" @SysListView32 >/dev/null
D key "$search" "{F1}" >/dev/null || e2e_fail "F1 in the search window"
expect_page "F1 in the search window" search.html
D click "$search" "検索" >/dev/null || e2e_fail "the search button"
D wait-window "検索情報" --timeout 10000 >/dev/null ||
  e2e_fail "the search conditions did not show; windows: $(D list-windows | paste -sd';')"
D key "検索情報" "{F1}" >/dev/null || e2e_fail "F1 in the search conditions"
expect_page "F1 in the search conditions" search-conditions.html
D click "検索情報" "キャンセル" >/dev/null || e2e_fail "cancelling the search"
D wait-gone "検索情報" --timeout 10000 >/dev/null || e2e_fail "the search conditions stayed"
D click "$dlg" "閉じる" >/dev/null || e2e_fail "closing the registration dialog"
D wait-gone "$dlg" --timeout 10000 >/dev/null || e2e_fail "the registration dialog stayed"

# Each wizard page, run alone from the menu, has its page of the help (the
# registry and desktop scans share one).
W=ウイザード
wizard_items=(ショートカットの作成 レジストリーの検索 デスクトップの検索 分類の作成 NetWorkの設定)
wizard_pages=(wizard-shortcuts wizard-programs wizard-programs wizard-categories wizard-network)
for index in 0 1 2 3 4; do
  D menu Kumoya "ｳｲｻﾞｰﾄﾞ>${wizard_items[$index]}" >/dev/null || e2e_fail "the Wizard menu, page $index"
  D wait-window $W --timeout 20000 >/dev/null || e2e_fail "wizard page $index did not open"
  sleep 0.5
  D key $W "{F1}" >/dev/null || e2e_fail "F1 on wizard page $index"
  expect_page "F1 on wizard page $index" "${wizard_pages[$index]}.html"
  D click $W "メイン画面へ" >/dev/null || e2e_fail "leaving wizard page $index"
  D wait-gone $W --timeout 20000 >/dev/null || e2e_fail "wizard page $index stayed"
done

# The property window has a topic of its own.
D listview-click Kumoya @SysListView32 0 --right --mouse >/dev/null || e2e_fail "right click"
D wait-window "" --class "#32768" --timeout 10000 >/dev/null || e2e_fail "the popup menu did not open"
D popup-menu-choose "プロパティ(&P)" >/dev/null || e2e_fail "choosing the property item"
D wait-window "プロパティ" --timeout 10000 >/dev/null || e2e_fail "the property window did not open"
sleep 0.5
window_shot "プロパティ" help-property
D focus "プロパティ" @Edit >/dev/null
D key "プロパティ" "{F1}" >/dev/null || e2e_fail "F1 in the property window"
expect_page "F1 in the property window" property.html

# Without its help folder the program says so instead of failing silently.
mv "$app/help" "$app/help.away"
D key Kumoya "{F1}" >/dev/null
D message-box-text --timeout 10000 >"$E2E_WORK/box.txt" || e2e_fail "no message without the help folder"
grep -q "ヘルプを表示できません" "$E2E_WORK/box.txt" || e2e_fail "message: $(cat "$E2E_WORK/box.txt")"
D message-box-click OK >/dev/null
[ "$(lines)" -eq "$opened" ] || e2e_fail "a page was opened without the help folder"
mv "$app/help.away" "$app/help"

D close Kumoya >/dev/null
e2e_wait_exit zelkova 30 || e2e_fail "the program did not end"
e2e_log "help: ok"
e2e_finish
