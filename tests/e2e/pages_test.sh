#!/usr/bin/env bash
# The extension and settings pages of the management window in the real
# program under Wine. On the extension page the user reads an extension's
# programs in priority order, moves the second of three up (it stays
# selected), adds an extension typed in lower case (shown in upper case; a
# second add in another case is refused silently), launches a program and
# takes one off the extension. On the settings page: the rankings by total
# count and by date with their value columns, clearing the counts, then
# "関連付けをする" twice and "関連付けを止める", checked with `wine reg query`:
# TXT had a former type and gets it back, KMY had none and the class key goes.
# The saved catalogue shows the new order, the new extension and the
# parameter dropped for that extension only. Screenshots go to artifacts/.
source "$(dirname "$0")/lib.sh"

e2e_need Zelkova.exe driver.exe recorder.exe kumoya-catalog.exe
command -v python3 >/dev/null || e2e_fail "python3 is needed to read the catalogue"
export LC_ALL=${KUMOYA_E2E_LOCALE:-C.UTF-8}  # Wine decodes arguments with the Unix locale

app=$E2E_WORK/app
mkdir -p "$app"
cp "$E2E_BUILD/Zelkova.exe" "$E2E_BUILD/kumoya-catalog.exe" "$app/"
for name in editor viewer third; do cp "$E2E_BUILD/recorder.exe" "$app/$name.exe"; done
export KUMOYA_RECORDER_LOG=$(winepath -w "$E2E_WORK/launches.log" 2>/dev/null)
winapp=$(winepath -w "$app" 2>/dev/null)
[ -n "$winapp" ] || e2e_fail "winepath failed"

REG() { timeout 60 "$WINE" reg "$@" 2>/dev/null | tr -d '\r'; }
# reg_value KEY (VALUE|"") : the data of a value of HKEY_CLASSES_ROOT\KEY, or
# "<none>" when there is no such value or key.
reg_value() {
  local out
  if [ -z "$2" ]; then out=$(REG query "HKCR\\$1" /ve); else out=$(REG query "HKCR\\$1" /v "$2"); fi
  [ -n "$out" ] || { echo "<none>"; return; }
  printf '%s\n' "$out" | awk -F'    ' '/REG_/ { print $4; found = 1 } END { if (!found) print "<none>" }'
}
message_ok() {  # message_ok CAPTION TEXT: the message box says TEXT; OK closes it
  local shown
  shown=$(D message-box-text --title "$1" --timeout 10000 | tail -n +2)
  expect "message \"$1\"" "$shown" "$2"
  D message-box-click OK --title "$1" --timeout 10000 >/dev/null || e2e_fail "OK in \"$1\""
}

# Three programs for TXT in this order, the third also for BMP with a
# parameter for each; counts and last launches for the rankings.
python3 - "$winapp" >"$E2E_WORK/catalogue.json" <<'PY'
import json, sys
app = sys.argv[1]
def prog(i, name, title, total, last):
    return {"Id": i, "Path": app + "\\" + name, "Title": title, "LastLaunch": last, "TodayCount": 0,
            "TotalCount": total, "SpareNo": -1, "AssignEdited": 0, "TitleIndex": -1, "SpareArea": ""}
def ext(i, name, flag, progs):
    return {"Id": i, "Name": name, "MenuFlag": flag, "SpareArea": "", "ProgIds": progs}
def params(prog, items):
    return {"ProgId": prog, "HasParams": 1, "Items": [{"Text": t, "Param": p} for t, p in items]}
print(json.dumps({
    "Head": {"SpareNo": 60, "HistoryMax": 5, "CountDate": 0, "MainPage": 1, "CategoryIndex": -1,
             "ExtensionIndex": 1, "MenuAtStart": 0, "ProxyHost": "", "ProxyPort": -1, "SmtpUser": "",
             "SmtpHost": "", "MailAddress": "", "Flags": 1, "SpareArea": ""},
    # 45000 is 15 March 2023, 45500 27 July 2024
    "Progs": [prog(0, "editor.exe", "エディタ", 3, 45500.5), prog(1, "viewer.exe", "ビューア", 10000, 45000.25),
              prog(2, "third.exe", "三番目", 9998, 0)],
    "Categories": [ext(0, "エディタ", 1, [0])],
    "Extensions": [ext(0, "BMP", 0, [2]), ext(1, "TXT", 0, [0, 1, 2])],
    "History": {"Limit": 5, "Entries": []},
    "ExtParams": {"Limit": 100, "Entries": [params(2, [("BMP", "/b \"%1\""), ("TXT", "/t \"%1\"")])]},
}, ensure_ascii=False))
PY

dat=$(e2e_catalogue_name)
e2e_catalogue_load "$app" "$E2E_WORK/catalogue.json" "$dat"

# What the registry holds before: TXT a type of its own (a fresh prefix has
# none, so one is made up and taken away at the end), KMY nothing.
txt_type=$(reg_value .txt "")
made_txt=
if [ "$txt_type" = "<none>" ]; then
  txt_type=kumoyatest.txtfile made_txt=1
  REG add 'HKCR\.txt' /ve /d "$txt_type" /f >/dev/null || e2e_fail "could not give .txt a type"
fi
REG delete 'HKCR\.kmy' /f >/dev/null
e2e_log "type of .txt before: $txt_type"

e2e_start zelkova "$app/Zelkova.exe"
D wait-window Kumoya --timeout 30000 >/dev/null || e2e_fail "the management window did not open"
sleep 1

# The controls of each page are the n-th of their class in the window:
# the category page's come first, then the extension page's, then the
# settings page's.
cmbExt=@ComboBox#2 lvExt=@SysListView32#2 cbMenu=@ComboBox#3 lvSonota=@SysListView32#3

# ---- the extension page ----
expect "page shown at start" "$(D tab-items Kumoya --selected)" "1"
expect "extensions" "$(D combo-items Kumoya $cmbExt | paste -sd,)" "BMP,TXT"
expect "extension shown" "$(D get-text Kumoya $cmbExt)" "TXT"
titles() { D listview-items Kumoya $lvExt | cut -f1 | paste -sd,; }
expect "programs of TXT" "$(titles)" "エディタ,ビューア,三番目"
expect "selected at start" "$(D listview-items Kumoya $lvExt --selected)" "0"

# The priority buttons show arrows, no text: the upper one raises.
D list-controls Kumoya >"$E2E_WORK/controls.txt"
arrows=$(awk -F'\t' '$1 == "Button" { n++ } $1 == "Button" && $3 == "" && $4 == "visible" { split($6, r, ","); print r[2] "\t@Button#" n }' \
  "$E2E_WORK/controls.txt" | sort -n | cut -f2)
up=$(sed -n 1p <<<"$arrows"); down=$(sed -n 2p <<<"$arrows")
[ -n "$up" ] && [ -n "$down" ] || e2e_fail "no priority buttons: $(cat "$E2E_WORK/controls.txt")"

D listview-select Kumoya $lvExt 1 >/dev/null || e2e_fail "listview-select"
D click Kumoya "$up" >/dev/null || e2e_fail "the up button"
expect "after moving the second up" "$(titles)" "ビューア,エディタ,三番目"
expect "the moved program stays selected" "$(D listview-items Kumoya $lvExt --selected)" "0"
D click Kumoya "$up" >/dev/null
expect "the first cannot go higher" "$(titles)" "ビューア,エディタ,三番目"
e2e_screenshot extension_page

# An extension typed in lower case; then the same in another case.
add_extension() {
  D click Kumoya "拡張子の追加" >/dev/null || e2e_fail "add button"
  D wait-window "拡張子名の追加" --timeout 10000 >/dev/null || e2e_fail "the input dialog did not open"
  D set-text "拡張子名の追加" @Edit "$1" >/dev/null || e2e_fail "set-text"
  [ -n "${2:-}" ] && { sleep 0.5; e2e_screenshot "$2"; }
  D click "拡張子名の追加" OK >/dev/null || e2e_fail "OK in the input dialog"
  D wait-gone "拡張子名の追加" --timeout 10000 >/dev/null || e2e_fail "the input dialog did not close"
}
add_extension kmy extension_input
expect "extensions after the addition" "$(D combo-items Kumoya $cmbExt | paste -sd,)" "BMP,KMY,TXT"
expect "extension still shown" "$(D get-text Kumoya $cmbExt)" "TXT"
add_extension Kmy
sleep 0.5
D list-windows | grep -q '#32770' && e2e_fail "a second add in another case showed a message"
expect "extensions after the duplicate" "$(D combo-items Kumoya $cmbExt | paste -sd,)" "BMP,KMY,TXT"

# Launch the third program with the button, then take it off TXT.
D listview-select Kumoya $lvExt 2 >/dev/null
D click Kumoya "プログラムの起動" >/dev/null || e2e_fail "launch button"
for ((i = 0; i < 100; i++)); do [ -s "$E2E_WORK/launches.log" ] && break; sleep 0.1; done
[ -s "$E2E_WORK/launches.log" ] || e2e_fail "the program did not start"
launched=$(python3 -c 'import json,sys; print(json.loads(open(sys.argv[1]).read().splitlines()[-1])["exe"])' "$E2E_WORK/launches.log")
case "$launched" in *third.exe) e2e_log "launched: $launched" ;; *) e2e_fail "launched $launched" ;; esac
D listview-select Kumoya $lvExt 2 >/dev/null
D click Kumoya "プログラムの削除" >/dev/null || e2e_fail "delete button"
expect "programs after the removal" "$(titles)" "ビューア,エディタ"

# ---- the settings page ----
D tab-select Kumoya 2 >/dev/null || e2e_fail "tab-select"
sleep 0.5
D combo-select Kumoya $cbMenu "通算の起動回数" >/dev/null || e2e_fail "choosing the total count"
ranking() { D listview-items Kumoya $lvSonota | awk -F'\t' '{ print $1 "=" $3 }' | paste -sd,; }
expect "ranking by total count" "$(ranking)" "ビューア=10000,三番目=9999,エディタ=3"
expect "count column" "$(D listview-items Kumoya $lvSonota --header | head -1 | cut -f3)" "回数"
D combo-select Kumoya $cbMenu "起動日付順" >/dev/null
expect "ranking by date, the oldest first" "$(D listview-items Kumoya $lvSonota | cut -f1 | paste -sd,)" \
  "ビューア,エディタ,三番目"
expect "date column" "$(D listview-items Kumoya $lvSonota --header | head -1 | cut -f3)" "起動日時"
e2e_screenshot settings_page
D combo-select Kumoya $cbMenu "通算の起動回数" >/dev/null
D click Kumoya "起動回数のクリア" >/dev/null || e2e_fail "clearing the counts"
message_ok "起動回数のクリア" "起動回数をクリアしました。"
expect "ranking by total after clearing" "$(ranking)" ""

# The association, twice, then given back.
for round in 1 2; do
  D click Kumoya "実行" >/dev/null || e2e_fail "実行"
  message_ok "拡張子の関連付け" "拡張子を「Kumoya」に関連付けました。"
done
expect "TXT associated" "$(reg_value .TXT "")" "Zelkdoc"
expect "TXT's former type kept after two rounds" "$(reg_value .TXT vorwork)" "$txt_type"
expect "KMY associated" "$(reg_value .KMY "")" "Zelkdoc"
expect "KMY had no former type" "$(reg_value .KMY vorwork)" "<none>"
expect "offered in Open with" "$(REG query 'HKCR\.TXT\OpenWithProgids' | grep -c Zelkdoc)" "1"
expect "open command" "$(reg_value 'Zelkdoc\shell\open\command' "")" "$winapp\\Zelkova.exe \"%1\""

D click Kumoya "関連付けを止める" >/dev/null || e2e_fail "choosing 関連付けを止める"
D click Kumoya "実行" >/dev/null || e2e_fail "実行"
message_ok "拡張子の関連付け" "拡張子を元のプログラムに関連付けました。"
expect "TXT given back" "$(reg_value .TXT "")" "$txt_type"
expect "TXT's saved type gone" "$(reg_value .TXT vorwork)" "<none>"
expect "no longer offered in Open with" "$(REG query 'HKCR\.TXT\OpenWithProgids' | grep -c Zelkdoc)" "0"
expect "the class key gone" "$(reg_value 'Zelkdoc\shell\open\command' "")" "<none>"
REG query 'HKCR\Zelkdoc' >/dev/null && e2e_fail "HKCR\\Zelkdoc is still there"

D close Kumoya >/dev/null || e2e_fail "close"
e2e_wait_exit zelkova 30 || e2e_fail "the program did not end after its window closed"
REG delete 'HKCR\.kmy' /f >/dev/null
[ -n "$made_txt" ] && REG delete 'HKCR\.txt' /f >/dev/null

e2e_catalogue_dump "$app" "$dat" >"$E2E_WORK/saved.json"
python3 - "$E2E_WORK/saved.json" <<'PY' || e2e_fail "the saved catalogue misses changes: $(head -c 2000 "$E2E_WORK/saved.json")"
import json, sys
c = json.load(open(sys.argv[1], encoding="utf-8"))
exts = {e["Name"]: e for e in c["Extensions"]}
assert list(exts) == ["BMP", "KMY", "TXT"], list(exts)
assert exts["TXT"]["ProgIds"] == [1, 0], exts["TXT"]
assert exts["BMP"]["ProgIds"] == [2], "the program stays under its other extension"
assert exts["KMY"]["ProgIds"] == [] and exts["KMY"]["MenuFlag"] == 0, exts["KMY"]
params = {e["ProgId"]: [i["Text"] for i in e["Items"]] for e in c["ExtParams"]["Entries"]}
assert params.get(2) == ["BMP"], params
assert len(c["Progs"]) == 3
assert all(p["TotalCount"] == 0 for p in c["Progs"]), [p["TotalCount"] for p in c["Progs"]]
assert c["Head"]["MainPage"] == 2 and c["Head"]["ExtensionIndex"] == 2, c["Head"]
print("saved catalogue: ok")
PY
e2e_finish
echo "pages: ok"
