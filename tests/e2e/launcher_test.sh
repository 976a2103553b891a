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
dat=$(e2e_catalogue_name)
catalogue="$app/$dat"

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

# 6-8. Catalogues with unusual but readable values are used as they are: no
#      message, nothing renamed, the launch made and the catalogue saved.
#      (A catalogue set aside would stop at a message box, hence the bound.)
variant_catalogue() {  # variant_catalogue PYTHON-EDIT-OF-d
  python3 - "$E2E_WORK/catalogue.json" "$E2E_WORK/variant.json" "$1" <<'PY'
import json, sys
d = json.load(open(sys.argv[1], encoding="utf-8"))
exec(sys.argv[3])
json.dump(d, open(sys.argv[2], "w", encoding="utf-8"), ensure_ascii=False)
PY
  "$tool" load "$E2E_WORK/variant.json" "$catalogue" || e2e_fail "cannot write the catalogue: $1"
  rm -f "$catalogue".damaged*; : >"$log"
}
open_a_txt_unattended() {  # $1 names the case
  e2e_start unusual "$app/Zelkova.exe" "$(win "$E2E_WORK/docs/a.txt")"
  for _ in $(seq 300); do
    ls "$catalogue".damaged* >/dev/null 2>&1 && e2e_fail "$1: the catalogue was set aside as damaged"
    kill -0 "$E2E_PID_unusual" 2>/dev/null || break
    sleep 0.1
  done
  e2e_wait_exit unusual 1 || e2e_fail "$1: Zelkova.exe did not end (a message box?)"
  settle 1
  [ "$(launches)" = 1 ] || e2e_fail "$1: expected one launch, got $(launches)"
  [ "$(field 'd["Progs"][0]["TotalCount"]')" = 1 ] || e2e_fail "$1: the launch was not saved"
}

# 6. A negative history size, as the settings page can store it, with the
#    empty history saved under it: kept, and it keeps no files.
variant_catalogue 'd["Head"]["HistoryMax"] = -1; d["History"] = {"Limit": -1, "Entries": []}'
open_a_txt_unattended "negative history size"
[ "$(field 'd["History"]["Limit"]')" = -1 ] || e2e_fail "the history size was not kept"
[ "$(field 'sum(len(e["Items"]) for e in d["History"]["Entries"])')" = 0 ] || e2e_fail "a negative size kept a file"
e2e_log "negative history size: ok"

# 7. A history entry whose parameter flag is neither 0 nor 1 holds plain files.
variant_catalogue 'd["History"]["Entries"][0]["HasParams"] = 2'
open_a_txt_unattended "parameter flag 2"
[ "$(field '[e["Items"] for e in d["History"]["Entries"] if e["ProgId"] == 1][0][0]')" = "$(win "$E2E_WORK/docs/b.txt")" ] ||
  e2e_fail "the viewer's history was lost"
e2e_log "parameter flag 2: ok"

# 8. Bytes after the last section are ignored (and not written back).
variant_catalogue 'pass'
head -c 700 /dev/urandom >>"$catalogue"
open_a_txt_unattended "bytes after the end"
"$tool" check "$catalogue" | grep -q "after the last section" && e2e_fail "the extra bytes were written back"
e2e_log "bytes after the last section: ok"

# 9. A first run records the program's path, offers the setup wizard (left at
#    once here), opens the management window and writes the catalogue when
#    that window closes.
rm -f "$catalogue"
"$WINE" reg delete 'HKLM\SOFTWARE\vor\zelkova' /f >/dev/null 2>&1
e2e_start firstrun "$app/Zelkova.exe"
D wait-window ウイザード --timeout 30000 >/dev/null || e2e_fail "the first run did not offer the wizard"
D click ウイザード メイン画面へ >/dev/null || e2e_fail "could not leave the wizard"
D wait-window Kumoya --timeout 30000 >/dev/null || e2e_fail "the first run did not open the management window"
D close Kumoya >/dev/null || e2e_fail "could not close the management window"
e2e_wait_exit firstrun 30 || e2e_fail "Zelkova.exe did not end after its window closed"
"$WINE" reg query 'HKLM\SOFTWARE\vor\zelkova' /v Path 2>/dev/null | tr -d '\r' | grep -qi 'Zelkova.exe' ||
  e2e_fail "the first run did not record its path"
[ "$(stat -c %s "$catalogue" 2>/dev/null)" = 1116 ] || e2e_fail "the first run did not write an empty catalogue"
e2e_log "first run: ok"

# 7. A catalogue that another program holds open is not a first run: the user
#    is told which file and why, and the run ends with the file untouched.
fresh_catalogue
stored=$(md5sum <"$catalogue")
"$WINE" reg delete 'HKLM\SOFTWARE\vor\zelkova' /f >/dev/null 2>&1
e2e_start holder "$E2E_BUILD/hold_file.exe" "$(win "$catalogue")" "$(win "$E2E_WORK/release")"
e2e_wait_line holder HELD 30 || e2e_fail "the helper could not hold the catalogue: $(cat "$E2E_WORK/holder.err")"
e2e_start held "$app/Zelkova.exe" "$(win "$E2E_WORK/docs/a.txt")"
D message-box-text --title 起動 --timeout 30000 >"$E2E_WORK/box.txt" || e2e_fail "no message about the held catalogue"
grep -qF "$dat" "$E2E_WORK/box.txt" || e2e_fail "the message does not name the file: $(cat "$E2E_WORK/box.txt")"
grep -q "使用しています" "$E2E_WORK/box.txt" || e2e_fail "the message does not say why: $(cat "$E2E_WORK/box.txt")"
e2e_screenshot unreadable-catalogue
D message-box-click OK --title 起動 >/dev/null || e2e_fail "could not close the message"
e2e_wait_exit held 30 || e2e_fail "Zelkova.exe did not end after the message"
: >"$E2E_WORK/release"
e2e_wait_exit holder 10 || e2e_fail "the helper did not let go of the catalogue"
settle 0
[ "$(launches)" = 0 ] || e2e_fail "a run without its catalogue launched something"
[ "$(md5sum <"$catalogue")" = "$stored" ] || e2e_fail "the held catalogue was changed"
ls "$app" | grep -qi damaged && e2e_fail "the held catalogue was set aside as damaged"
"$WINE" reg query 'HKLM\SOFTWARE\vor\zelkova' /v Path >/dev/null 2>&1 && e2e_fail "the run was taken for a first run"
e2e_log "held catalogue: ok"

# 8. An argument that Shift_JIS cannot hold is refused alone, with a message
#    naming it, and the other argument is opened; a catalogue that cannot be
#    saved at exit is reported, and the old file stays as it was.
fresh_catalogue
stored=$(md5sum <"$catalogue")
mkdir "$catalogue.new"
e2e_start mixed "$app/Zelkova.exe" "$(win "$E2E_WORK/docs/한글.txt")" "$(win "$E2E_WORK/docs/a.txt")"
D message-box-text --title 起動 --timeout 30000 >"$E2E_WORK/box.txt" || e2e_fail "no message about the refused argument"
grep -q "한글.txt" "$E2E_WORK/box.txt" || e2e_fail "the message does not name the argument: $(cat "$E2E_WORK/box.txt")"
D message-box-click OK --title 起動 >/dev/null || e2e_fail "could not close the message"
D message-box-text --title Kumoya --timeout 30000 >"$E2E_WORK/box.txt" || e2e_fail "no message about the failed save"
grep -qF "$dat" "$E2E_WORK/box.txt" || e2e_fail "the message does not name the file: $(cat "$E2E_WORK/box.txt")"
grep -q "保存できませんでした" "$E2E_WORK/box.txt" || e2e_fail "the message does not say what failed"
D message-box-click OK --title Kumoya >/dev/null || e2e_fail "could not close the message"
e2e_wait_exit mixed 30 || e2e_fail "Zelkova.exe did not end after the messages"
rmdir "$catalogue.new"
settle 1
[ "$(launches)" = 1 ] || e2e_fail "the other argument was not opened: $(launches) launches"
case "$(argv_of 0 cmdline)" in *"a.txt\""*) ;; *) e2e_fail "opened $(argv_of 0 cmdline)";; esac
[ "$(md5sum <"$catalogue")" = "$stored" ] || e2e_fail "the old catalogue was changed by a failed save"
e2e_log "refused argument and failed save: ok"

# 9. A shortcut whose arguments and working folder have no Shift_JIS form
#    still stands for its target.
fresh_catalogue
mkdir -p "$E2E_WORK/docs/작업"
(cd "$app" && "$WINE" make_lnk.exe "$(win "$E2E_WORK/docs/hangul.lnk")" "$(win "$E2E_WORK/docs/b.txt")" \
  "-열기" "$(win "$E2E_WORK/docs/작업")") || e2e_fail "make_lnk with Hangul texts"
run "$(win "$E2E_WORK/docs/hangul.lnk")"
settle 1
[ "$(launches)" = 1 ] || e2e_fail "a shortcut with Hangul arguments was refused"
case "$(argv_of 0 cmdline)" in *"b.txt\""*) ;; *) e2e_fail "the Hangul shortcut opened $(argv_of 0 cmdline)";; esac
e2e_log "shortcut with texts outside Shift_JIS: ok"

e2e_finish
echo "launcher end-to-end: all passed"
