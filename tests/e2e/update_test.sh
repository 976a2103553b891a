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
computer=$("$WINE" cmd /c 'echo %COMPUTERNAME%' 2>/dev/null | tr -d '\r\n')
catalogue="$app/${computer}.dat"
win() { echo "Z:${1//\//\\}"; }
D() { timeout 60 "$WINE" "$E2E_BUILD/driver.exe" "$@"; }
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

e2e_finish
echo "update end-to-end: all passed"
