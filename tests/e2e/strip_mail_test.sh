#!/usr/bin/env bash
# The advertisement strip and the report mail in the real program under Wine.
#
# 1. A damaged advertisement file is deleted and the window opens without a
#    clip.
# 2. Two advertisement files with a short AVI clip made by ffmpeg: one plays
#    in the strip (screenshot), three clicks open its web link through a
#    stand-in browser registered for http, and after the pause the file
#    holds three more clicks; closing leaves no "cm.avi" and saves the time
#    shown up to then.
# 3. The network page sends a mail to aiosmtpd on 127.0.0.1
#    (tests/net/servers.py): the first send asks for the address, the server
#    (offered from the address) and, as the server refuses the empty HELO,
#    the user ID; the server got the header in order with the encoded
#    subject, the statistics above the text, a blank for an empty line, a
#    doubled leading dot and ISO-2022-JP text that Python's email package
#    reads back; the next send asks nothing; the answers are in the saved
#    catalogue. Screenshots of the network page.
source "$(dirname "$0")/lib.sh"

e2e_need Zelkova.exe driver.exe recorder.exe kumoya-catalog.exe
command -v ffmpeg >/dev/null || e2e_fail "ffmpeg is needed to make the clip"
export LC_ALL=${KUMOYA_E2E_LOCALE:-C.UTF-8}

app=$E2E_WORK/app
mkdir -p "$app"
cp "$E2E_BUILD/Zelkova.exe" "$E2E_BUILD/kumoya-catalog.exe" "$app/"
cp "$E2E_BUILD/recorder.exe" "$app/browser.exe"
export KUMOYA_RECORDER_LOG=$(winepath -w "$E2E_WORK/browser.log" 2>/dev/null)
winapp=$(winepath -w "$app" 2>/dev/null)
[ -n "$winapp" ] || e2e_fail "winepath failed"

# The stand-in browser opens http addresses (the prefix's own handler comes
# back at the end).
old_browser=$("$WINE" reg query 'HKCR\http\shell\open\command' /ve 2>/dev/null | tr -d '\r' | sed -n 's/.*REG_SZ *//p')
"$WINE" reg add 'HKCR\http\shell\open\command' /ve /d "\"$winapp\\browser.exe\" \"%1\"" /f >/dev/null 2>&1 ||
  e2e_fail "cannot register the stand-in browser"

# The mail server, on an ephemeral port of 127.0.0.1.
coproc SERVERS { exec /usr/bin/python3 "$E2E_ROOT/tests/net/servers.py"; }
read -r -t 30 ports <&"${SERVERS[0]}" || e2e_fail "the test servers did not start"
smtp=$(sed -n 's/.*smtp=\([0-9]*\).*/\1/p' <<<"$ports")
control=$(sed -n 's/.*control=\([0-9]*\).*/\1/p' <<<"$ports")
[ -n "$smtp" ] && [ -n "$control" ] || e2e_fail "unreadable server ports: $ports"
printf 'SmtpPort=%s\r\nMailTo=support@kumoya.invalid\r\nMailBcc=archive@kumoya.invalid\r\n' "$smtp" >"$app/Zelkova.ini"

# The catalogue: the network page shown last, no menu at start, nothing of
# the mail set yet.
python3 - >"$E2E_WORK/catalogue.json" <<'PY'
import json
print(json.dumps({
    "Head": {"SpareNo": 60, "HistoryMax": 5, "CountDate": 0, "MainPage": 3, "CategoryIndex": -1,
             "ExtensionIndex": -1, "MenuAtStart": 0, "ProxyHost": "", "ProxyPort": -1, "SmtpUser": "",
             "SmtpHost": "", "MailAddress": "", "Flags": 1, "SpareArea": ""},
    "Progs": [], "Categories": [], "Extensions": [],
    "History": {"Limit": 5, "Entries": []},
    "ExtParams": {"Limit": 100, "Entries": []},
}, ensure_ascii=False))
PY
dat=$(e2e_catalogue_name)
e2e_catalogue_load "$app" "$E2E_WORK/catalogue.json" "$dat"

# The clip: two seconds of ffmpeg's test picture in MS Video 1, which Wine's
# player decodes (uncompressed frames from ffmpeg carry no handler it knows).
ffmpeg -loglevel error -y -f lavfi -i testsrc=size=556x56:rate=10 -t 2 -c:v msvideo1 \
  "$E2E_WORK/clip.avi" || e2e_fail "ffmpeg could not make the clip"

# write_ad FILE NAME PAUSE CLIP [DECLARED_CLIP_SIZE]: an advertisement file as the site serves it.
write_ad() {
  python3 - "$@" <<'PY'
import struct, sys
path, name, pause, clip = sys.argv[1], sys.argv[2], float(sys.argv[3]), open(sys.argv[4], "rb").read()
declared = int(sys.argv[5]) if len(sys.argv) > 5 else len(clip)
r = bytearray(2104)
n = name.encode("cp932"); r[0:len(n)] = n
struct.pack_into("<i", r, 256, 0)           # clicks
struct.pack_into("<d", r, 264, 0.0)         # display time
struct.pack_into("<i", r, 272, 3)           # links
for i, at in enumerate((276, 788, 1300)):
    u = ("http://127.0.0.1:9/%s/%d" % (name.encode("ascii", "replace").decode(), i + 1)).encode()
    r[at:at + len(u)] = u
struct.pack_into("<d", r, 1816, pause)
struct.pack_into("<i", r, 2096, declared)
open(path, "wb").write(bytes(r) + clip)
PY
}
# read_ad FILE: clicks and display time.
read_ad() {
  python3 -c 'import struct,sys; d=open(sys.argv[1],"rb").read(2104); print(struct.unpack_from("<i",d,256)[0], int(struct.unpack_from("<d",d,264)[0]))' "$1"
}

start_window() {
  e2e_start zelkova "$app/Zelkova.exe"
  D wait-window Kumoya --timeout 30000 >/dev/null || e2e_fail "the management window did not open"
}
close_window() {
  D close Kumoya >/dev/null
  e2e_wait_exit zelkova 30 || e2e_fail "Zelkova.exe did not end"
}

# ---- 1. a damaged advertisement ----
mkdir -p "$app/001"
write_ad "$app/001/zelkova.cm" Broken 1 "$E2E_WORK/clip.avi" 99999999
start_window
sleep 1
[ -e "$app/001/zelkova.cm" ] && e2e_fail "the damaged advertisement was not deleted"
[ -e "$app/CM.AVI" ] && e2e_fail "a clip was unpacked from the damaged advertisement"
expect "page shown" "$(D tab-items Kumoya --selected)" "3"
close_window
e2e_log "a damaged advertisement is deleted, the window opens without a clip: ok"

# ---- 2. the strip ----
mkdir -p "$app/000" "$app/002"
write_ad "$app/000/zelkova.cm" Alpha 2 "$E2E_WORK/clip.avi"
write_ad "$app/002/zelkova.cm" Beta 2 "$E2E_WORK/clip.avi"
: >"$E2E_WORK/browser.log"
start_window
for ((i = 0; i < 50; i++)); do [ -e "$app/CM.AVI" ] && break; sleep 0.1; done
[ -e "$app/CM.AVI" ] || e2e_fail "no clip unpacked"
sleep 1.2
e2e_screenshot strip_playing
D list-controls Kumoya >"$E2E_WORK/controls.txt"
# The strip is the window's first panel, at the top.
grep -m 1 "^KumoyaPanel	" "$E2E_WORK/controls.txt" | grep -q "	0,0,[0-9]*,[0-9]*	" ||
  e2e_fail "the strip is not the first panel: $(grep KumoyaPanel "$E2E_WORK/controls.txt")"
for _ in 1 2 3; do D mouse-click Kumoya @KumoyaPanel 100 20 >/dev/null || e2e_fail "cannot click the strip"; done
for ((i = 0; i < 100; i++)); do [ "$(wc -l <"$E2E_WORK/browser.log")" -ge 3 ] && break; sleep 0.1; done
expect "browser starts" "$(wc -l <"$E2E_WORK/browser.log" | tr -d ' ')" "3"
python3 - "$E2E_WORK/browser.log" <<'PY' || e2e_fail "the browser was given: $(cat "$E2E_WORK/browser.log")"
import json, re, sys
for line in open(sys.argv[1], encoding="utf-8"):
    argv = json.loads(line)["argv"]
    assert re.fullmatch(r"http://127\.0\.0\.1:9/(Alpha|Beta)/[123]", argv[-1]), argv
PY
# The clicks reach the file of the advertisement shown when its pause is
# over (a click during a later clip, the next file saved).
clicks_total() { echo $(( $(read_ad "$app/000/zelkova.cm" | cut -d' ' -f1) + $(read_ad "$app/002/zelkova.cm" | cut -d' ' -f1) )); }
for ((i = 0; i < 200; i++)); do [ "$(clicks_total)" = 3 ] && break; sleep 0.1; done
expect "clicks saved after the pause" "$(clicks_total)" "3"
for f in 000 002; do
  read -r clicks shown_ms < <(read_ad "$app/$f/zelkova.cm")
  # Each round shown: the clip's two seconds and two or three one-second steps of pause.
  [ "$shown_ms" = 0 ] || [ "$shown_ms" -ge 3500 ] || e2e_fail "display time of $f: $shown_ms ms"
  e2e_log "$f: $clicks clicks, $shown_ms ms"
done
total_before=$(( $(read_ad "$app/000/zelkova.cm" | cut -d' ' -f2) + $(read_ad "$app/002/zelkova.cm" | cut -d' ' -f2) ))

# ---- 3. the mail, in the same window ----
D list-controls Kumoya >"$E2E_WORK/controls.txt"
e2e_screenshot network_page
# The subject is typed into the combo box's edit; the text is set in the memo.
# (@Edit#N counts every edit of the window, hidden pages' too.)
visible_edit() { awk -F'\t' -v want="$1" '$1 == "Edit" {n++; if ($4 == "visible" && ++v == want) {print "@Edit#" n; exit}}' "$E2E_WORK/controls.txt"; }
subject_edit=$(visible_edit 1)
memo=$(visible_edit 2)
[ -n "$subject_edit" ] && [ -n "$memo" ] || e2e_fail "no subject or text field: $(cat "$E2E_WORK/controls.txt")"
answer() {  # answer CAPTION TEXT [OFFERED]
  D wait-window "$1" --timeout 20000 >/dev/null || e2e_fail "no question \"$1\""
  if [ -n "${3:-}" ]; then expect "offered in \"$1\"" "$(D get-text "$1" @Edit)" "$3"; fi
  D set-text "$1" @Edit "$2" >/dev/null
  D click "$1" OK >/dev/null
}
said() {
  D message-box-text --title "メールの送信" --timeout 30000 >"$E2E_WORK/said.txt" || e2e_fail "no message: $1"
  grep -q "$1" "$E2E_WORK/said.txt" || e2e_fail "wanted $1, got: $(cat "$E2E_WORK/said.txt")"
  D message-box-click 1 --title "メールの送信" >/dev/null
}
# The questions come first; then a mail without a subject is refused.
D click Kumoya "メールの送信" >/dev/null
answer "メールアドレス" "me@127.0.0.1"
answer "メールサーバー" "127.0.0.1" "127.0.0.1"
said "題名が入力されていません。"
# Without a text and without the statistics it is refused too.
D focus Kumoya "$subject_edit" >/dev/null || e2e_fail "cannot focus the subject"
D key Kumoya "起動しません" >/dev/null || e2e_fail "cannot type the subject"
D click Kumoya "広告データもいっしょに送信する" >/dev/null
D click Kumoya "メールの送信" >/dev/null
said "本文が入力されていません。"
e2e_log "no subject, no text: said: ok"
# With the statistics and a text it goes; the server refuses the empty HELO,
# so the user ID is asked for.
D click Kumoya "広告データもいっしょに送信する" >/dev/null
D focus Kumoya "$memo" >/dev/null || e2e_fail "cannot focus the text"
D key Kumoya "一行目です。{ENTER}{ENTER}.点で始まる行{ENTER}最後" >/dev/null || e2e_fail "cannot type the text"
e2e_screenshot network_page_filled
D click Kumoya "メールの送信" >/dev/null
answer "認証が必要です。" "tester"
said "送信終了しました。"

log() {
  python3 - "$control" "$1" <<'PY'
import socket, sys
with socket.create_connection(("127.0.0.1", int(sys.argv[1])), timeout=10) as s:
    s.sendall(b"LOG %s\n" % sys.argv[2].encode())
    sys.stdout.buffer.write(bytes.fromhex(s.makefile("rb").readline().decode().strip()))
PY
}
log smtp-content >"$E2E_WORK/mail1.eml"
log smtp >"$E2E_WORK/wire1.txt"
python3 - "$E2E_WORK/mail1.eml" "$E2E_WORK/wire1.txt" "$app" <<'PY' || e2e_fail "the mail as received: $(cat -v "$E2E_WORK/mail1.eml")"
import email, email.header, struct, sys
raw = open(sys.argv[1], "rb").read()
wire = open(sys.argv[2], "rb").read()
lines = raw.split(b"\r\n")
head = [l.decode("ascii") for l in lines[:6]]
assert head[0] == "From: <me@127.0.0.1>", head
assert head[1] == "To: support@kumoya.invalid", head
assert head[2].startswith("Subject: =?ISO-2022-JP?B?"), head
assert head[3:] == ["Mime-Version: 1.0", 'Content-Type: text/plain; charset="iso-2022-jp"',
                    "Content-Transfer-Encoding: 7bit"], head
assert lines[6] == b"", lines[6]
msg = email.message_from_bytes(raw)
subject = str(email.header.make_header(email.header.decode_header(msg["Subject"])))
assert subject == "起動しません", subject
body = msg.get_payload(decode=True).decode("iso-2022-jp").split("\r\n")
# The component's empty first line, the statistics (last folder first),
# then the text: a blank for the empty line, the dot line as typed.
assert body[0] == "", body
stats = body[1:3]
for s in stats:
    name, clicks, time = s.split(",")
    assert name in ("Alpha", "Beta") and clicks.endswith("回") and time.endswith("秒"), s
assert {s.split(",")[0] for s in stats} == {"Alpha", "Beta"}, stats
assert body[3:] == ["一行目です。", " ", ".点で始まる行", "最後", ""], body
assert b"\r\n..\x1b$B" in wire, "the leading dot was not doubled"
assert b"HELO tester\r\n" in wire
PY
e2e_log "first mail: questions asked, header, subject, statistics and text as typed: ok"

# The next mail asks nothing.
D focus Kumoya "$subject_edit" >/dev/null
D key Kumoya "{END}{BS 6}Hello" >/dev/null
D click Kumoya "メールの送信" >/dev/null
said "送信終了しました。"
log smtp-content | tr -d '\r' | grep -qx "Subject: Hello" || e2e_fail "the second mail's subject is not the ASCII one"
e2e_log "the next mail asks nothing: ok"
close_window
[ -e "$app/CM.AVI" ] && e2e_fail "cm.avi left after closing"
total_after=$(( $(read_ad "$app/000/zelkova.cm" | cut -d' ' -f2) + $(read_ad "$app/002/zelkova.cm" | cut -d' ' -f2) ))
[ "$total_after" -gt "$total_before" ] || e2e_fail "closing saved no display time ($total_before -> $total_after)"
for f in 000 002; do
  cmp -s <(tail -c +2105 "$app/$f/zelkova.cm") "$E2E_WORK/clip.avi" || e2e_fail "the clip in $f changed"
done
e2e_log "closing saves the time shown and leaves no cm.avi: ok"
e2e_catalogue_dump "$app" "$dat" >"$E2E_WORK/saved.json" ||
  e2e_fail "cannot read the saved catalogue"
python3 - "$E2E_WORK/saved.json" <<'PY' || e2e_fail "mail settings not saved: $(head -c 600 "$E2E_WORK/saved.json")"
import json, sys
head = json.loads(open(sys.argv[1], encoding="utf-8").read())["Head"]
assert (head["MailAddress"], head["SmtpHost"], head["SmtpUser"]) == ("me@127.0.0.1", "127.0.0.1", "tester"), head
PY
e2e_log "the answers are saved with the catalogue: ok"

[ -n "$old_browser" ] && "$WINE" reg add 'HKCR\http\shell\open\command' /ve /d "$old_browser" /f >/dev/null 2>&1
e2e_log "took ${SECONDS} s"
e2e_finish
echo "strip and mail end-to-end: all passed"
