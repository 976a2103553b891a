#!/usr/bin/env bash
# The wizard's and dialogs' controls on real windows under Wine: the demo
# window shows every one of them, plays a clip through the media player in
# its top strip and reports the end of play; the screenshot shows the rest.
source "$(dirname "$0")/lib.sh"

e2e_need controls_demo.exe
demo=$E2E_BUILD/controls_demo.exe

work=$(winepath -w "$E2E_WORK" 2>/dev/null)
[ -n "$work" ] || e2e_fail "no Windows path for $E2E_WORK"
e2e_start demo "$demo" "$work"
e2e_wait_line demo CLIP_PLAYING 60 || e2e_fail "the clip did not start: $(e2e_output demo)"
sleep 1
e2e_screenshot controls_demo_playing
e2e_wait_line demo READY 30 || e2e_fail "no end of play: $(e2e_output demo)"
sleep 0.5
e2e_screenshot controls_demo
touch "$E2E_WORK/done"
e2e_wait_exit demo 30 || e2e_fail "the demo did not end: $(e2e_output demo)"
out=$(e2e_output demo)
echo "$out"
[ "$E2E_STATUS" = 0 ] || e2e_fail "exit status $E2E_STATUS"
grep -q '^CLIP_LENGTH 2000$' <<<"$out" || e2e_fail "the clip's length is not 2 s"
grep -q '^CLIP_END Successful$' <<<"$out" || e2e_fail "the end of play was not reported once, as successful"
[ "$(grep -c '^CLIP_END' <<<"$out")" = 1 ] || e2e_fail "the end of play was reported more than once"
grep -q '^ANIMATION \(shown\|absent\)$' <<<"$out" || e2e_fail "the animation did not report"
grep -q '^END$' <<<"$out" || e2e_fail "the message loop did not end"
e2e_finish
echo "controls_demo: ok"
