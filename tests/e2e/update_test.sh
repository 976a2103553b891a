#!/usr/bin/env bash
# The update as a user meets it: Zelkova.exe under Wine, started with a
# document on the first start of a day, asks whether to fetch the latest
# information and, on Yes, fetches the version record and the title files
# from a real HTTP server on 127.0.0.1 (tests/net/servers.py, the site put in
# place through its control port); the update window is looked at while a
# slow title file arrives.
source "$(dirname "$0")/lib.sh"
export LC_ALL=C.UTF-8

app="$E2E_WORK/app"
mkdir -p "$app" "$E2E_WORK/docs"
cp "$E2E_BUILD/Zelkova.exe" "$E2E_BUILD/recorder.exe" "$app/"
export KUMOYA_RECORDER_LOG="Z:$E2E_WORK/launches.log"
tool="${KUMOYA_CATALOG_TOOL:-$E2E_ROOT/build/native/kumoya-catalog}"
[ -x "$tool" ] || e2e_fail "the native catalogue tool is not built"
catalogue="$app/$(e2e_catalogue_name)"
: >"$E2E_WORK/docs/a.txt"

# The servers, on ephemeral ports of 127.0.0.1; they end with this script.
coproc SERVERS { exec /usr/bin/python3 "$E2E_ROOT/tests/net/servers.py"; }
read -r -t 30 ports <&"${SERVERS[0]}" || e2e_fail "the test servers did not start"
http=$(sed -n 's/.*http=\([0-9]*\).*/\1/p' <<<"$ports")
control=$(sed -n 's/.*control=\([0-9]*\).*/\1/p' <<<"$ports")
[ -n "$http" ] && [ -n "$control" ] || e2e_fail "unreadable server ports: $ports"
site="127.0.0.1:$http"
printf 'UpdateSite=%s\r\n' "$site" >"$app/Zelkova.ini"

# The site: a version record (written as the program reads it), two title
# files, no advertisements, no newer program. Served slowly: 20 pieces 150 ms
# apart, so that the window can be seen at work.
python3 - "$control" "$site" "$E2E_WORK/site" <<'PY'
import os, socket, struct, sys
control, site, keep = int(sys.argv[1]), sys.argv[2], sys.argv[3]
os.makedirs(keep, exist_ok=True)
def put(path, data):
    with socket.create_connection(("127.0.0.1", control), timeout=10) as s:
        s.sendall(b"PUT %s %s\n" % (path.encode(), data.hex().encode()))
        assert s.makefile("rb").readline().strip() == b"ok"
    open(os.path.join(keep, path.strip("/").replace("/", "_")), "wb").write(data)
rec = bytearray(1648)
def text(at, s): rec[at:at + len(s)] = s.encode()
struct.pack_into("<d", rec, 0, 0.0)
struct.pack_into("<i", rec, 8, 7)          # record version
struct.pack_into("<d", rec, 16, 0.0)       # next check
struct.pack_into("<i", rec, 32, 17)        # title version
struct.pack_into("<i", rec, 48, 2)         # title files
text(52, "http://%s/ttl/" % site)
struct.pack_into("<i", rec, 576, 27)
struct.pack_into("<i", rec, 592, -1)       # no advertisement
text(596, "http://%s/cm/" % site)
struct.pack_into("<i", rec, 1120, 1)       # no newer program
text(1136, "http://%s/bin/zkvup.exe" % site)
put("/vor/zelkova/zelkova.net", bytes(rec))
put("/ttl/zkv001.ttl", bytes((i * 13) & 255 for i in range(4000)))
put("/ttl/zkv002.ttl", bytes((i * 29) & 255 for i in range(6000)))
with socket.create_connection(("127.0.0.1", control), timeout=10) as s:
    s.sendall(b"PACE 150\n")
    s.makefile("rb").readline()
PY
[ $? -eq 0 ] || e2e_fail "could not put the update site in place"

# A catalogue whose last start was on an earlier day, the question not
# switched off.
python3 - "$E2E_WORK/catalogue.json" "$(win "$app")" <<'PY'
import json, sys
out, app = sys.argv[1:3]
doc = {"Head": {"SpareNo": 60, "HistoryMax": 5, "CountDate": 40000.5, "MainPage": 0, "CategoryIndex": -1,
                "ExtensionIndex": -1, "MenuAtStart": 1, "ProxyHost": "", "ProxyPort": -1, "SmtpUser": "",
                "SmtpHost": "", "MailAddress": "", "Flags": 0, "SpareArea": ""},
       "Progs": [{"Id": 0, "Path": app + "\\recorder.exe", "Title": "レコーダー", "LastLaunch": 0, "TodayCount": 0,
                  "TotalCount": 0, "SpareNo": -1, "AssignEdited": 0, "TitleIndex": -1, "SpareArea": ""}],
       "Categories": [],
       "Extensions": [{"Id": 0, "Name": "TXT", "MenuFlag": 0, "SpareArea": "", "ProgIds": [0]}],
       "History": {"Limit": 5, "Entries": []},
       "ExtParams": {"Limit": 100, "Entries": []}}
json.dump(doc, open(out, "w", encoding="utf-8"), ensure_ascii=False)
PY
"$tool" load "$E2E_WORK/catalogue.json" "$catalogue" || e2e_fail "cannot write the catalogue"

pushd "$app" >/dev/null; e2e_start zelkova "$app/Zelkova.exe" "$(win "$E2E_WORK/docs/a.txt")"; popd >/dev/null
D message-box-text --title "最新情報の取得" --timeout 60000 >"$E2E_WORK/question.txt" ||
  e2e_fail "no update question on the first start of a day"
grep -q "インターネットから最新情報を取得しますか？" "$E2E_WORK/question.txt" || e2e_fail "question: $(cat "$E2E_WORK/question.txt")"
D message-box-click 6 --title "最新情報の取得" >/dev/null || e2e_fail "could not answer Yes"
D wait-window KumoUpdate --timeout 20000 >/dev/null || e2e_fail "no update window"
# Well into the slow transfer of the title files.
for _ in $(seq 40); do
  D list-controls KumoUpdate >"$E2E_WORK/controls.txt" 2>/dev/null || true
  grep -q "タイトルファイルのダウンロード" "$E2E_WORK/controls.txt" && break
  sleep 0.5
done
sleep 1
e2e_screenshot update-window
grep -q "タイトルファイルのダウンロード" "$E2E_WORK/controls.txt" || e2e_fail "the step is not shown: $(cat "$E2E_WORK/controls.txt")"
grep -q "msctls_progress32" "$E2E_WORK/controls.txt" || e2e_fail "no progress bar"
e2e_wait_exit zelkova 60 || e2e_fail "Zelkova.exe did not end after the update"
cmp -s "$app/zkv001.ttl" "$E2E_WORK/site/ttl_zkv001.ttl" || e2e_fail "title file 1 not fetched"
cmp -s "$app/zkv002.ttl" "$E2E_WORK/site/ttl_zkv002.ttl" || e2e_fail "title file 2 not fetched"
[ "$(stat -c %s "$app/zelkova.net" 2>/dev/null)" = 1648 ] || e2e_fail "the version record was not installed"
[ ! -e "$app/update.net" ] && [ ! -e "$app/zkvup.exe" ] || e2e_fail "update.net left or an old program fetched"
e2e_log "first start of a day fetches the titles: ok"

# ---- The later cases share the servers, the prefix and the installation. ----
online="$E2E_ROOT/tests/support/online_files.py"
ctl() {  # ctl COMMAND...: one line to the servers' control port, its answer on stdout
  python3 - "$control" "$*" <<'PY2'
import socket, sys
with socket.create_connection(("127.0.0.1", int(sys.argv[1])), timeout=10) as s:
    s.sendall(sys.argv[2].encode() + b"\n")
    print(s.makefile("rb").readline().decode().strip())
PY2
}
put_file() {  # put_file PATH FILE: the site serves FILE's bytes at PATH
  python3 - "$control" "$1" "$2" <<'PY2' || e2e_fail "could not serve $1"
import socket, sys
with socket.create_connection(("127.0.0.1", int(sys.argv[1])), timeout=10) as s:
    s.sendall(b"PUT %s %s\n" % (sys.argv[2].encode(), open(sys.argv[3], "rb").read().hex().encode()))
    sys.exit(0 if s.makefile("rb").readline().strip() == b"ok" else 1)
PY2
}
int_at() { python3 -c 'import struct,sys; print(struct.unpack_from("<i", open(sys.argv[1],"rb").read(), int(sys.argv[2]))[0])' "$1" "$2"; }
double_at() { python3 -c 'import struct,sys; print(struct.unpack_from("<d", open(sys.argv[1],"rb").read(), int(sys.argv[2]))[0])' "$1" "$2"; }
# Edits the saved catalogue: a python expression statement on the document d.
edit_catalogue() {
  "$tool" dump "$catalogue" >"$E2E_WORK/edit.json" || e2e_fail "cannot read the catalogue"
  python3 - "$E2E_WORK/edit.json" "$1" <<'PY2'
import json, sys
d = json.load(open(sys.argv[1], encoding="utf-8"))
exec(sys.argv[2])
json.dump(d, open(sys.argv[1], "w", encoding="utf-8"), ensure_ascii=False)
PY2
  "$tool" load "$E2E_WORK/edit.json" "$catalogue" || e2e_fail "cannot write the catalogue"
}
field() { "$tool" dump "$catalogue" | python3 -c "import json,sys; d=json.load(sys.stdin); print($1)"; }
ctl PACE 0 >/dev/null

# 2. A new day through the proxy of the settings: a newer program is published
#    and the title database names the recorder. The updater (the recorder
#    under the name zkvup.exe) is fetched through the proxy and started, and
#    the saved catalogue carries the converted title, category and extension.
cp "$E2E_BUILD/recorder.exe" "$E2E_WORK/zkvup.exe"
put_file /bin/zkvup.exe "$E2E_WORK/zkvup.exe"
python3 "$online" title "$E2E_WORK/t1.ttl" "RECORDER.EXE:録音機:ツール:LOG" || e2e_fail "title file"
put_file /ttl/zkv001.ttl "$E2E_WORK/t1.ttl"
python3 "$online" version "$E2E_WORK/v8.net" --record-version 8 --title-version 18 --title-files 1 \
  --title-base "http://$site/ttl/" --cm-version 27 --program-version 2 \
  --updater-url "http://$site/bin/zkvup.exe" || e2e_fail "version record"
put_file /vor/zelkova/zelkova.net "$E2E_WORK/v8.net"
rm -f "$app/zkv002.ttl" "$E2E_WORK/launches.log"
# The local record says the next check was due yesterday.
python3 -c 'import struct,sys; b=bytearray(open(sys.argv[1],"rb").read()); struct.pack_into("<d",b,16,1.0); open(sys.argv[1],"wb").write(b)' "$app/zelkova.net"
proxy=$(sed -n 's/.*proxy=\([0-9]*\).*/\1/p' <<<"$ports")
edit_catalogue "d['Head'].update(CountDate=40000.5, ProxyHost='127.0.0.1', ProxyPort=$proxy)"
pushd "$app" >/dev/null; e2e_start zelkova "$app/Zelkova.exe" "$(win "$E2E_WORK/docs/a.txt")"; popd >/dev/null
D message-box-click 6 --title "最新情報の取得" --timeout 60000 >/dev/null || e2e_fail "no update question on the new day"
e2e_wait_exit zelkova 60 || e2e_fail "Zelkova.exe did not end after starting the updater"
for _ in $(seq 50); do grep -q zkvup.exe "$E2E_WORK/launches.log" 2>/dev/null && break; sleep 0.2; done
grep -qi 'zkvup.exe' "$E2E_WORK/launches.log" || e2e_fail "the updater was not started: $(cat "$E2E_WORK/launches.log" 2>/dev/null)"
cmp -s "$app/zkvup.exe" "$E2E_WORK/zkvup.exe" || e2e_fail "the updater arrived damaged"
ctl LOG proxy | python3 -c 'import sys; sys.stdout.buffer.write(bytes.fromhex(sys.stdin.read().strip()))' >"$E2E_WORK/proxy.txt"
grep -q "^GET http://$site/bin/zkvup.exe " "$E2E_WORK/proxy.txt" || e2e_fail "the updater did not come through the proxy: $(head -1 "$E2E_WORK/proxy.txt")"
[ "$(int_at "$app/zelkova.net" 8)" = 8 ] || e2e_fail "the new version record was not installed"
[ "$(field 'd["Progs"][0]["Title"]')" = "録音機" ] || e2e_fail "title not converted: $(field 'd["Progs"][0]["Title"]')"
[ "$(field '[c["ProgIds"] for c in d["Categories"] if c["Name"] == "ツール"]')" = "[[0]]" ] || e2e_fail "category not converted"
[ "$(field '[e["Name"] for e in d["Extensions"]]')" = "['LOG', 'TXT']" ] || e2e_fail "extensions not added in order: $(field '[e["Name"] for e in d["Extensions"]]')"
[ "$(field '[e["ProgIds"] for e in d["Extensions"] if e["Name"] == "LOG"]')" = "[[0]]" ] || e2e_fail "extension LOG without the recorder"
e2e_log "new program through the proxy, titles converted: ok"

# 3. The network page's button, forced, with nothing new published: the
#    equal versions are reported and the check is recorded as done now.
rm -f "$app/zkvup.exe"
edit_catalogue "d['Head'].update(MenuAtStart=0, MainPage=3, ProxyHost='', ProxyPort=-1, Flags=d['Head']['Flags'] | 1)"
before=$(double_at "$app/zelkova.net" 0)
pushd "$app" >/dev/null; e2e_start zelkova "$app/Zelkova.exe"; popd >/dev/null
D wait-window Kumoya --timeout 30000 >/dev/null || e2e_fail "the management window did not open"
D tab-select Kumoya 3 >/dev/null || e2e_fail "no network page"
D click Kumoya KumoUpdate >/dev/null || e2e_fail "no KumoUpdate button"
D message-box-text --title "バージョンアップ" --timeout 30000 >"$E2E_WORK/equal.txt" || e2e_fail "no message after the check"
grep -q "バージョンアップの必要はありませんでした。" "$E2E_WORK/equal.txt" || e2e_fail "equal versions: $(cat "$E2E_WORK/equal.txt")"
D message-box-click 1 --title "バージョンアップ" >/dev/null || e2e_fail "could not close the message"
[ ! -e "$app/update.net" ] || e2e_fail "update.net left after equal versions"
python3 -c 'import sys; sys.exit(0 if float(sys.argv[2]) > float(sys.argv[1]) else 1)' "$before" "$(double_at "$app/zelkova.net" 0)" ||
  e2e_fail "the check was not recorded"
e2e_log "equal versions: ok"

# 4. The button again, with a second title file announced but missing on the
#    site (404): the step's failure is shown once, nothing is stored in its
#    place, the local record stays and update.net waits for the next run.
python3 "$online" version "$E2E_WORK/v9.net" --record-version 9 --title-version 19 --title-files 2 \
  --title-base "http://$site/ttl/" --cm-version 27 --program-version 2 \
  --updater-url "http://$site/bin/zkvup.exe" || e2e_fail "version record"
put_file /vor/zelkova/zelkova.net "$E2E_WORK/v9.net"
ctl UNPUT /ttl/zkv002.ttl >/dev/null
D click Kumoya KumoUpdate >/dev/null || e2e_fail "no KumoUpdate button the second time"
D message-box-text --title "バージョンアップ" --timeout 30000 >"$E2E_WORK/404.txt" || e2e_fail "no message after a 404"
grep -q "タイトルファイルのダウンロードに失敗しました" "$E2E_WORK/404.txt" || e2e_fail "404: $(cat "$E2E_WORK/404.txt")"
e2e_screenshot update-404
D message-box-click 1 --title "バージョンアップ" >/dev/null || e2e_fail "could not close the message"
sleep 1
D message-box-text --title "バージョンアップ" --timeout 1500 >/dev/null 2>&1 && e2e_fail "the failure was reported twice"
[ ! -e "$app/zkv002.ttl" ] || e2e_fail "the error page was stored as a title file"
[ "$(int_at "$app/zelkova.net" 8)" = 8 ] || e2e_fail "the local record changed after a failure"
[ "$(int_at "$app/update.net" 8)" = 9 ] || e2e_fail "update.net not kept for the next run"
D wait-window Kumoya --timeout 5000 >/dev/null || e2e_fail "the management window closed after a failed update"
D close Kumoya >/dev/null || e2e_fail "could not close the management window"
e2e_wait_exit zelkova 30 || e2e_fail "Zelkova.exe did not end"
e2e_log "404 during the title files: ok"

e2e_finish
echo "update end-to-end: all passed"
