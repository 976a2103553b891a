#!/usr/bin/env bash
# The setup wizard as a user meets it: the first start of Zelkova.exe under
# Wine walks its five pages with file types added to the registry, shortcuts
# on a desktop of the test's own, a system proxy, and the sticky-note
# program's stand-in; the saved catalogue, the shortcuts and the stand-in's
# log are read back. Then, from the management window's menu: an old
# sticky-note program gets the version message, and one that never answers
# does not hang the wizard. The update at the end asks the update site of
# Zelkova.ini, a port of 127.0.0.1 where nothing listens.
source "$(dirname "$0")/lib.sh"
export LC_ALL=C.UTF-8

app="$E2E_WORK/app"
desk="$E2E_WORK/desk"
sendto="$E2E_WORK/sendto"
mkdir -p "$app" "$desk" "$sendto"
cp "$E2E_BUILD/Zelkova.exe" "$app/"
tool="${KUMOYA_CATALOG_TOOL:-$E2E_ROOT/build/native/kumoya-catalog}"
[ -x "$tool" ] || e2e_fail "the native catalogue tool is not built"
catalogue="$app/$(e2e_catalogue_name)"
dump() { "$tool" dump "$catalogue"; }
W=ウイザード

# The programs live in a folder without "-": an open command splits at its
# first "-", and the work folder's name has one.
progs="$WINEPREFIX/drive_c/kumoyawiz"
mkdir -p "$progs"
for p in editor ViewerProgram player tool; do cp "$E2E_BUILD/recorder.exe" "$progs/$p.exe"; done
: >"$progs/script.bat"

# Everything this script changes in a shared prefix is put back at the end.
shell_folders='HKCU\Software\Microsoft\Windows\CurrentVersion\Explorer\User Shell Folders'
internet='HKCU\Software\Microsoft\Windows\CurrentVersion\Internet Settings'
saved_reg="$E2E_WORK/saved.reg"
"$WINE" reg export "$shell_folders" "$E2E_WORK/folders.reg" /y >/dev/null 2>&1
"$WINE" reg export "$internet" "$E2E_WORK/internet.reg" /y >/dev/null 2>&1
restore() {
  [ "$E2E_OWN_WINE" = 1 ] && return 0
  for t in kma kmb kmc kmd kme; do
    "$WINE" reg delete "HKCR\\.$t" /f >/dev/null 2>&1
    "$WINE" reg delete "HKCR\\${t}file" /f >/dev/null 2>&1
  done
  "$WINE" reg delete "$shell_folders" /v Desktop /f >/dev/null 2>&1
  "$WINE" reg delete "$shell_folders" /v SendTo /f >/dev/null 2>&1
  "$WINE" reg delete "$internet" /v ProxyServer /f >/dev/null 2>&1
  "$WINE" reg delete "$internet" /v ProxyEnable /f >/dev/null 2>&1
  [ -s "$E2E_WORK/folders.reg" ] && "$WINE" reg import "$E2E_WORK/folders.reg" >/dev/null 2>&1
  [ -s "$E2E_WORK/internet.reg" ] && "$WINE" reg import "$E2E_WORK/internet.reg" >/dev/null 2>&1
  "$WINE" reg delete 'HKLM\SOFTWARE\vor\zelkova' /f >/dev/null 2>&1
  rm -rf "$progs"
}
trap restore EXIT

# Our own desktop and send-to folders.
"$WINE" reg add "$shell_folders" /v Desktop /t REG_EXPAND_SZ /d "$(win "$desk")" /f >/dev/null
"$WINE" reg add "$shell_folders" /v SendTo /t REG_EXPAND_SZ /d "$(win "$sendto")" /f >/dev/null

# File types: a quoted program, a short (8.3) path with a quoted
# placeholder, a play-only command, a type without a display name, and
# rundll32.
short=$("$WINE" winepath -s 'C:\kumoyawiz\ViewerProgram.exe' 2>/dev/null | tr -d '\r')
[ -n "$short" ] && [ "$short" != 'C:\kumoyawiz\ViewerProgram.exe' ] || e2e_fail "no short name for the viewer: [$short]"
type_add() {  # type_add EXT DISPLAYNAME VERB COMMAND
  "$WINE" reg add "HKCR\\.$1" /ve /d "${1}file" /f >/dev/null
  [ -n "$2" ] && "$WINE" reg add "HKCR\\${1}file" /ve /d "$2" /f >/dev/null
  "$WINE" reg add "HKCR\\${1}file\\shell\\$3\\command" /ve /d "$4" /f >/dev/null
}
type_add kma "KMA 文書" open '"C:\kumoyawiz\editor.exe" "%1"'
type_add kmb "KMB 画像" open "$short \"%1\""
type_add kmc "KMC 音楽" play 'C:\kumoyawiz\player.exe %1'
type_add kmd "" open 'C:\kumoyawiz\editor.exe %1'
type_add kme "KME 実行" open 'rundll32.exe shell32.dll,OpenAs_RunDLL %1'

# The system's proxy: one server for every protocol, enabled as a number.
"$WINE" reg add "$internet" /v ProxyEnable /t REG_DWORD /d 1 /f >/dev/null
"$WINE" reg add "$internet" /v ProxyServer /d "127.0.0.1:9" /f >/dev/null

# Desktop shortcuts, made with the system's shell link object: two to the
# same program, one to a missing one, one to a batch file.
for l in "道具A:tool.exe" "道具B:tool.exe" "消えた:gone.exe" "バッチ:script.bat"; do
  "$WINE" "$E2E_BUILD/make_lnk.exe" "$(win "$desk")\\${l%%:*}.lnk" "C:\\kumoyawiz\\${l#*:}" >/dev/null 2>&1 ||
    e2e_fail "could not make the shortcut ${l%%:*}"
done

# The update site: a port of 127.0.0.1 that nobody listens on.
closed=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1]); s.close()')
printf 'UpdateSite=127.0.0.1:%s\r\n' "$closed" >"$app/Zelkova.ini"

mirun() {  # mirun VERSION LOG [OPTIONS]: the stand-in, published
  local version=$1 log=$2; shift 2
  : >"$log"
  e2e_start standin "$E2E_BUILD/mirun_standin.exe" "$version" "$(win "$log")" "$@"
  e2e_wait_line standin published 60 || e2e_fail "the stand-in did not publish its block"
}
commands() { tr -d '\r' <"$1" | cut -f1 | paste -sd,; }

# ---- 1. The first run, all five pages ----
mirun Ver1.50 "$E2E_WORK/mirun1.log"
started=$(date +%s)
e2e_start zelkova "$app/Zelkova.exe"
D wait-window $W --timeout 30000 >/dev/null || e2e_fail "the first run did not show the wizard"
[ "$(D get-check $W 登録する)" = 0 ] || e2e_fail "the registration with the sticky-note program starts ticked"
e2e_screenshot wizard_page1
D click $W 登録する >/dev/null || e2e_fail "the sticky-note program is not offered"
D click $W 実行して次へ >/dev/null || e2e_fail "page 1"
for ((i = 0; i < 100; i++)); do [ "$(commands "$E2E_WORK/mirun1.log")" = "1,2,13,0" ] && break; sleep 0.1; done
[ "$(commands "$E2E_WORK/mirun1.log")" = "1,2,13,0" ] || e2e_fail "the stand-in got: $(commands "$E2E_WORK/mirun1.log")"

rows=$(D listview-items $W @SysListView32) || e2e_fail "page 2 has no list"
grep -qP '^\.kma\tKMA 文書$' <<<"$rows" || e2e_fail "no row for the quoted program: $rows"
grep -qP '^\.kmb\tKMB 画像$' <<<"$rows" || e2e_fail "no row for the short path"
grep -qP '^\.kmc\tKMC 音楽$' <<<"$rows" || e2e_fail "no row for the play-only command"
grep -q '^\.kmd' <<<"$rows" && e2e_fail "a type without a display name has a row"
grep -q '^\.kme' <<<"$rows" && e2e_fail "rundll32 has a row"
e2e_log "registry rows: $(wc -l <<<"$rows")"
e2e_screenshot wizard_page2
D click $W 実行して次へ >/dev/null || e2e_fail "page 2"

rows=$(D listview-items $W @SysListView32) || e2e_fail "page 3 has no list"
[ "$(wc -l <<<"$rows")" = 1 ] || e2e_fail "desktop rows: [$rows]"
grep -qP '^道具[AB]\tC:\\\\KUMOYAWIZ\\\\TOOL\.EXE$' <<<"$rows" || e2e_fail "desktop row: [$rows]"
e2e_screenshot wizard_page3
D click $W 実行して次へ >/dev/null || e2e_fail "page 3"

[ "$(D get-check $W ゲーム)" = 0 ] || e2e_fail "ゲーム starts ticked"
e2e_screenshot wizard_page4
D click $W ゲーム >/dev/null || e2e_fail "page 4"
D click $W 実行して次へ >/dev/null || e2e_fail "page 4"

[ "$(D get-check $W Proxy設定を行う)" = 1 ] || e2e_fail "the system's proxy is not offered"
[ "$(D get-text $W @Edit#3)" = 127.0.0.1 ] || e2e_fail "proxy server: $(D get-text $W @Edit#3)"
[ "$(D get-text $W @Edit#4)" = 9 ] || e2e_fail "proxy port: $(D get-text $W @Edit#4)"
D set-text $W @Edit#1 smtp.example.invalid >/dev/null
D set-text $W @Edit#2 user@example.invalid >/dev/null
D set-text $W @Edit#4 "${closed}" >/dev/null
e2e_screenshot wizard_page5
D click $W 実行して次へ >/dev/null || e2e_fail "page 5"

# The update: asked, tried, failed; the end panel follows.
D message-box-text --title 最新情報の取得 --timeout 20000 >/dev/null || e2e_fail "the update question did not come"
D message-box-click 6 --title 最新情報の取得 >/dev/null || e2e_fail "could not answer the update question"
D message-box-text --timeout 40000 >"$E2E_WORK/failed.txt" || e2e_fail "no message about the unreachable site"
grep -q 失敗 "$E2E_WORK/failed.txt" || e2e_fail "unexpected message: $(cat "$E2E_WORK/failed.txt")"
D message-box-click OK >/dev/null || e2e_fail "could not close the failure message"
D wait-window $W --timeout 10000 >/dev/null || e2e_fail "the wizard is gone after the update"
e2e_screenshot wizard_end
D click $W 完了 >/dev/null || e2e_fail "no 完了 on the end panel"
D wait-window Kumoya --timeout 30000 >/dev/null || e2e_fail "the management window did not open after the wizard"
e2e_log "first run walked in $(($(date +%s) - started)) s"

# The menu's single pages, while the management window is open.
# ---- 2. An old sticky-note program: the message, nothing registered ----
e2e_wait_exit standin 10 || e2e_fail "the stand-in did not end after the closing command"
mirun Ver1.32 "$E2E_WORK/mirun2.log"
D menu Kumoya "ｳｲｻﾞｰﾄﾞ>ショートカットの作成" >/dev/null || e2e_fail "the Wizard menu"
D wait-window $W --timeout 20000 >/dev/null || e2e_fail "page 1 alone did not open"
D click $W 登録する >/dev/null || e2e_fail "the old program is not offered"
D click $W 送る >/dev/null; D click $W デスクトップ >/dev/null
D click $W 完了 >/dev/null
D message-box-text --title "vorのMirundoへの登録" --timeout 20000 >"$E2E_WORK/old.txt" || e2e_fail "no version message"
grep -qF 'vorのMirundoのVersionを1.33以上にしてください!!' "$E2E_WORK/old.txt" || e2e_fail "version message: $(cat "$E2E_WORK/old.txt")"
e2e_screenshot wizard_old_sibling
D message-box-click OK >/dev/null
D wait-gone $W --timeout 10000 >/dev/null || e2e_fail "page 1 alone did not close"
[ -z "$(commands "$E2E_WORK/mirun2.log")" ] || e2e_fail "the old program got commands: $(commands "$E2E_WORK/mirun2.log")"
kill "$E2E_PID_standin" 2>/dev/null; wait "$E2E_PID_standin" 2>/dev/null

# ---- 3. A program that never answers: the wizard gives up and closes ----
mirun Ver1.50 "$E2E_WORK/mirun3.log" --silent
D menu Kumoya "ｳｲｻﾞｰﾄﾞ>ショートカットの作成" >/dev/null || e2e_fail "the Wizard menu"
D wait-window $W --timeout 20000 >/dev/null || e2e_fail "page 1 alone did not open"
D click $W 登録する >/dev/null || e2e_fail "the silent program is not offered"
D click $W 送る >/dev/null; D click $W デスクトップ >/dev/null
t0=$(date +%s)
D click $W 完了 >/dev/null
D wait-gone $W --timeout 30000 >/dev/null || e2e_fail "the wizard hangs on a program that never answers"
waited=$(($(date +%s) - t0))
[ "$waited" -le 15 ] || e2e_fail "the wizard waited $waited s"
[ "$(commands "$E2E_WORK/mirun3.log")" = "1,0" ] || e2e_fail "the silent program got: $(commands "$E2E_WORK/mirun3.log")"
e2e_log "a silent sticky-note program: given up after $waited s"
kill "$E2E_PID_standin" 2>/dev/null; wait "$E2E_PID_standin" 2>/dev/null

D close Kumoya >/dev/null || e2e_fail "could not close the management window"
e2e_wait_exit zelkova 30 || e2e_fail "Zelkova.exe did not end"

# ---- What the first run left behind ----
dump >"$E2E_WORK/catalogue.json" || e2e_fail "the catalogue cannot be read"
python3 - "$E2E_WORK/catalogue.json" "$closed" <<'PY' || e2e_fail "the catalogue is not what the wizard made"
import json, sys
d = json.load(open(sys.argv[1]))
progs = {p["Path"]: p for p in d["Progs"]}
def need(cond, what):
    if not cond:
        sys.exit("catalogue: " + what)
ed, vi, pl, to = (r"C:\KUMOYAWIZ\EDITOR.EXE", r"C:\kumoyawiz\ViewerProgram.exe",
                  r"C:\KUMOYAWIZ\PLAYER.EXE", r"C:\KUMOYAWIZ\TOOL.EXE")
# The short path was made long; registry paths are kept as the scan shows them.
vi = next((p for p in progs if p.upper() == vi.upper()), vi)
for path, title in ((ed, "KMA 文書"), (vi, "KMB 画像"), (pl, "KMC 音楽"), (to, None)):
    need(path in progs, "no program " + path + " in " + ", ".join(progs))
    if title: need(progs[path]["Title"] == title, path + " titled " + progs[path]["Title"])
need(progs[to]["Title"] in ("道具A", "道具B"), "tool titled " + progs[to]["Title"])
need(not any(p.upper() in (r"C:\KUMOYAWIZ\GONE.EXE", r"C:\KUMOYAWIZ\SCRIPT.BAT") or "RUNDLL" in p.upper()
             for p in progs),
     "a missing target, a batch file or rundll32 was registered")
exts = {e["Name"]: e for e in d["Extensions"]}
for name, path in (("KMA", ed), ("KMB", vi), ("KMC", pl)):
    need(name in exts and exts[name]["ProgIds"] == [progs[path]["Id"]], "extension " + name)
need("KMD" not in exts and "KME" not in exts, "extensions without a row were registered")
params = {e["ProgId"]: e for e in d["ExtParams"]["Entries"]}
vid = progs[vi]["Id"]
need(vid in params and params[vid]["Items"] == [{"Text": "KMB", "Param": '"%1"'}],
     "the viewer's template entry: %r" % params.get(vid))
need(progs[ed]["Id"] not in params, "a quoted program got a template")
cats = {c["Name"]: c for c in d["Categories"]}
need(cats.get("デスクトップ", {}).get("ProgIds") == [progs[to]["Id"]], "the desktop category")
need("ゲーム" in cats and cats["ゲーム"]["ProgIds"] == [], "the games category")
for name in ("エディター", "画像処理", "圧縮・解凍", "インターネット", "音楽・映像"):
    need(name in cats, "no category " + name)
h = d["Head"]
need(h["SmtpHost"] == "smtp.example.invalid" and h["MailAddress"] == "user@example.invalid", "mail settings")
need(h["ProxyHost"] == "127.0.0.1" and h["ProxyPort"] == int(sys.argv[2]), "proxy %r:%r" % (h["ProxyHost"], h["ProxyPort"]))
print("catalogue: %d programs, %d extensions, %d categories" % (len(progs), len(exts), len(cats)))
PY

# The shortcuts to the program, read back with lnkinfo.
for f in "$desk/Kumoya.lnk" "$sendto/Kumoya.lnk"; do
  [ -f "$f" ] || e2e_fail "no shortcut $f"
  # (The whole output first: grep -q ending the pipe early would fail it under pipefail.)
  info=$(lnkinfo "$f" 2>&1 || true)
  grep -qi 'Zelkova.exe' <<<"$info" || e2e_fail "$f does not lead to the program: $(head -30 <<<"$info")"
  grep -qiE 'Command line arguments[[:space:]]*:[[:space:]]*[^[:space:]]' <<<"$info" && e2e_fail "$f carries arguments"
done
# Command 1 carried the program's path, and the data area the name.
first=$(tr -d '\r' <"$E2E_WORK/mirun1.log" | head -1)
path=$(cut -f3 <<<"$first" | xxd -r -p)
[ "${path,,}" = "$(win "$app/Zelkova.exe" | tr 'A-Z' 'a-z')" ] || e2e_fail "command 1 carried [$path]"
[ "$(cut -f4 <<<"$first" | cut -c1-14)" = "4b756d6f796100" ] || e2e_fail "command 1's data: $(cut -f4 <<<"$first")"
e2e_log "wizard: ok"
e2e_finish
