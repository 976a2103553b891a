#!/usr/bin/env bash
# The launcher as a user meets it: Zelkova.exe under Wine with a prepared
# catalogue, a recorder standing in for the registered programs, the saved
# catalogue read back with the catalogue tool.
source "$(dirname "$0")/lib.sh"
export LC_ALL=${KUMOYA_E2E_LOCALE:-C.UTF-8}

app="$E2E_WORK/app"
mkdir -p "$app" "$E2E_WORK/docs"
cp "$E2E_BUILD/Zelkova.exe" "$E2E_BUILD/recorder.exe" "$E2E_BUILD/make_lnk.exe" "$app/"
cp "$app/recorder.exe" "$app/viewer.exe"
export KUMOYA_RECORDER_LOG="Z:$E2E_WORK/launches.log"
log="$E2E_WORK/launches.log"
tool="$E2E_ROOT/build/native/kumoya-catalog"
[ -x "$tool" ] || e2e_fail "the native catalogue tool is not built"
computer=$("$WINE" cmd /c 'echo %COMPUTERNAME%' 2>/dev/null | tr -d '\r\n')
catalogue="$app/${computer}.dat"
win() { echo "Z:${1//\//\\}"; }   # host path -> Windows path

for f in a.txt b.txt "My Documents.txt" c.zzz old.tmp; do : >"$E2E_WORK/docs/$f"; done
mkdir -p "$E2E_WORK/docs/My Documents"; : >"$E2E_WORK/docs/My Documents/note.txt"

# recorder (priority 1 for TXT) and viewer; TXT not marked for choice.
python3 - "$E2E_WORK/catalogue.json" "$(win "$app")" "$(win "$E2E_WORK/docs")" <<'PY'
import json, sys
out, app, docs = sys.argv[1:4]
def prog(i, name, title):
    return {"Id": i, "Path": app + "\\" + name, "Title": title, "LastLaunch": 0, "TodayCount": 0,
            "TotalCount": 0, "SpareNo": -1, "AssignEdited": 0, "TitleIndex": -1, "SpareArea": ""}
def ext(i, name, flag, ids):
    return {"Id": i, "Name": name, "MenuFlag": flag, "SpareArea": "", "ProgIds": ids}
doc = {"Head": {"SpareNo": 60, "HistoryMax": 5, "CountDate": 0, "MainPage": 0, "CategoryIndex": -1,
                "ExtensionIndex": -1, "MenuAtStart": 1, "ProxyHost": "", "ProxyPort": -1, "SmtpUser": "",
                "SmtpHost": "", "MailAddress": "", "Flags": 1, "SpareArea": ""},
       "Progs": [prog(0, "recorder.exe", "レコーダー"), prog(1, "viewer.exe", "ビューア")],
       "Categories": [ext(0, "テスト", 1, [0, 1])],
       "Extensions": [ext(0, "TXT", 0, [0, 1])],
       "History": {"Limit": 5, "Entries": [{"ProgId": 1, "HasParams": 0, "Items": [docs + "\\b.txt"]}]},
       "ExtParams": {"Limit": 100, "Entries": []}}
json.dump(doc, open(out, "w", encoding="utf-8"), ensure_ascii=False)
PY
fresh_catalogue() { "$tool" load "$E2E_WORK/catalogue.json" "$catalogue" || e2e_fail "cannot write the catalogue"; : >"$log"; }
# The first program with windows in a new prefix may be slow (font caches).
run() { (cd "$app" && timeout 120 "$WINE" Zelkova.exe "$@"); local rc=$?; [ $rc -eq 0 ] || e2e_fail "Zelkova.exe $* did not end cleanly (status $rc)"; }
launches() { if [ -f "$log" ]; then grep -c . "$log"; else echo 0; fi; }
# The launched programs run on their own: give them a moment to log.
settle() { for _ in $(seq 30); do [ "$(launches)" -ge "$1" ] && break; sleep 0.1; done; sleep 0.3; }
argv_of() { python3 -c 'import json,sys; print(json.loads(open(sys.argv[1]).read().splitlines()[int(sys.argv[2])])[sys.argv[3]])' "$log" "$1" "$2"; }
dump() { "$tool" dump "$catalogue"; }
field() { dump | python3 -c "import json,sys; d=json.load(sys.stdin); print($1)"; }

# 1. A file argument opens with the priority-1 program, the path in quotes;
#    the saved catalogue counts the launch and records the file.
fresh_catalogue
run "$(win "$E2E_WORK/docs/a.txt")"
settle 1
[ "$(launches)" = 1 ] || e2e_fail "a.txt: expected one launch, got $(launches)"
cmdline=$(argv_of 0 cmdline)
case "$cmdline" in *"\"$(win "$E2E_WORK/docs/a.txt")\""*) ;; *) e2e_fail "a.txt: command line $cmdline";; esac
case "$(argv_of 0 exe)" in *recorder.exe) ;; *) e2e_fail "a.txt opened with $(argv_of 0 exe)";; esac
[ "$(field 'd["Progs"][0]["TotalCount"]')" = 1 ] || e2e_fail "the launch was not counted"
[ "$(field 'd["History"]["Entries"][-1]["Items"][0]')" = "$(win "$E2E_WORK/docs/a.txt")" ] || e2e_fail "a.txt not in the history"
e2e_log "file argument: ok"

# 2. Two arguments, one a path with a blank split in two: both in turn.
fresh_catalogue
run "$(win "$E2E_WORK/docs/My")" "Documents\\note.txt" "$(win "$E2E_WORK/docs/b.txt")"
settle 2
[ "$(launches)" = 2 ] || e2e_fail "two files: expected two launches, got $(launches)"
# The programs start on their own, so their lines may come in either order.
grep -qF 'My Documents\\note.txt\"' "$log" || e2e_fail "split path not joined: $(cat "$log")"
grep -qF 'b.txt\"' "$log" || e2e_fail "second file not opened: $(cat "$log")"
e2e_log "two file arguments: ok"

# 3. An unregistered extension goes to the system's association (here the
#    viewer, registered in the prefix for .zzz) and enters no history.
"$WINE" reg add 'HKCR\.zzz' /ve /d zzzfile /f >/dev/null
"$WINE" reg add 'HKCR\zzzfile\shell\open\command' /ve /d "\"$(win "$app/viewer.exe")\" \"%1\"" /f >/dev/null
fresh_catalogue
run "$(win "$E2E_WORK/docs/c.zzz")"
settle 1
[ "$(launches)" = 1 ] || e2e_fail "c.zzz was not handed to the system's association"
[ "$(field 'sum(len(e["Items"]) for e in d["History"]["Entries"])')" = 1 ] || e2e_fail "c.zzz entered a history"
[ "$(field 'd["Progs"][0]["TotalCount"] + d["Progs"][1]["TotalCount"]')" = 0 ] || e2e_fail "c.zzz was counted"
e2e_log "unregistered extension: ok"

# 4. A shortcut argument stands for its target.
fresh_catalogue
(cd "$app" && "$WINE" make_lnk.exe "$(win "$E2E_WORK/docs/to b.lnk")" "$(win "$E2E_WORK/docs/b.txt")") || e2e_fail "make_lnk"
run "$(win "$E2E_WORK/docs/to b.lnk")"
settle 1
[ "$(launches)" = 1 ] || e2e_fail "shortcut: expected one launch"
case "$(argv_of 0 cmdline)" in *"b.txt\""*) ;; *) e2e_fail "shortcut opened $(argv_of 0 cmdline)";; esac
e2e_log "shortcut argument: ok"

# 5. -VORWORK deletes its file, then the launch menu comes; choosing the
#    viewer's history file launches the viewer with it.
fresh_catalogue
e2e_start zelkova "$app/Zelkova.exe" -vorwork "$(win "$E2E_WORK/docs/old.tmp")" "$(win "$E2E_WORK/docs/a.txt")"
for _ in $(seq 100); do [ -e "$E2E_WORK/docs/old.tmp" ] || break; sleep 0.1; done
[ -e "$E2E_WORK/docs/old.tmp" ] && e2e_fail "-VORWORK did not delete its file"
D() { timeout 60 "$WINE" "$E2E_BUILD/driver.exe" "$@"; }
D popup-menu-items --timeout 20000 >"$E2E_WORK/menu.txt" || e2e_fail "no launch menu"
grep -q "テスト" "$E2E_WORK/menu.txt" || e2e_fail "the category is not in the menu: $(cat "$E2E_WORK/menu.txt")"
grep -q "メイン画面へ" "$E2E_WORK/menu.txt" || e2e_fail "no main-window entry"
# Category, then the viewer (second program, with a history), then its file.
xdotool key Down Right Down Right Down && sleep 1
e2e_screenshot launch-menu
xdotool key Return
e2e_wait_exit zelkova 30 || e2e_fail "Zelkova.exe did not end after the choice"
settle 1
[ "$(launches)" = 1 ] || e2e_fail "menu: expected one launch, got $(launches)"
case "$(argv_of 0 exe)" in *viewer.exe) ;; *) e2e_fail "menu launched $(argv_of 0 exe)";; esac
case "$(argv_of 0 cmdline)" in *"b.txt\""*) ;; *) e2e_fail "menu launch without its file: $(argv_of 0 cmdline)";; esac
[ "$(field 'd["Progs"][1]["TotalCount"]')" = 1 ] || e2e_fail "menu launch not counted"
e2e_log "launch menu: ok"

# 6. A first run records the program's path, opens the management window and
#    writes the catalogue when that window closes.
rm -f "$catalogue"
"$WINE" reg delete 'HKLM\SOFTWARE\vor\zelkova' /f >/dev/null 2>&1
e2e_start firstrun "$app/Zelkova.exe"
D wait-window Kumoya --timeout 30000 >/dev/null || e2e_fail "the first run did not open the management window"
D close Kumoya >/dev/null || e2e_fail "could not close the management window"
e2e_wait_exit firstrun 30 || e2e_fail "Zelkova.exe did not end after its window closed"
"$WINE" reg query 'HKLM\SOFTWARE\vor\zelkova' /v Path 2>/dev/null | tr -d '\r' | grep -qi 'Zelkova.exe' ||
  e2e_fail "the first run did not record its path"
[ "$(stat -c %s "$catalogue" 2>/dev/null)" = 1116 ] || e2e_fail "the first run did not write an empty catalogue"
e2e_log "first run: ok"

e2e_finish
echo "launcher end-to-end: all passed"
