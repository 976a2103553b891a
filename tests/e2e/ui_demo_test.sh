#!/usr/bin/env bash
# The form framework on real windows under Wine: a Japanese popup menu with
# icons three levels deep, the chosen entry's click delivered once through
# the message loop, a Japanese message box answered with Enter, and a modal
# window of ordinary controls closed with Escape.
source "$(dirname "$0")/lib.sh"

e2e_need ui_demo.exe
demo=$E2E_BUILD/ui_demo.exe

if e2e_have_xdotool; then
  # The menu opens at the pointer, so the pointer (and with it the
  # keyboard) is on the menu.
  xdotool mousemove 300 200
  e2e_start demo "$demo"
  e2e_wait_line demo MENU_OPEN 60 || e2e_fail "the menu did not open: $(e2e_output demo)"
  sleep 1.5
  xdotool key Down Right Right
  sleep 1
  e2e_screenshot ui_demo_menu
  xdotool key Down Down Return
  e2e_wait_line demo BOX_OPEN 20 || e2e_fail "no message box: $(e2e_output demo)"
  e2e_wait_window "起動" 20 || e2e_fail "the message box window did not appear"
  sleep 1
  e2e_screenshot ui_demo_box
  e2e_keys_to "起動" Return || e2e_fail "could not type into the message box"
  e2e_wait_line demo FORM_OPEN 20 || e2e_fail "no form: $(e2e_output demo)"
  sleep 1.5
  e2e_screenshot ui_demo_form
  e2e_keys_to "Kumoya 管理" Escape || e2e_fail "could not type into the form"
else
  hand=$(winepath -w "$E2E_WORK" 2>/dev/null)
  e2e_start demo "$demo" --drive "$hand"
  e2e_wait_line demo LEVEL3_OPEN 60 || e2e_fail "the menu did not open: $(e2e_output demo)"
  sleep 0.5
  e2e_screenshot ui_demo_menu
  touch "$E2E_WORK/menu.done"
  e2e_wait_line demo BOX_OPEN 20 || e2e_fail "no message box: $(e2e_output demo)"
  sleep 1.5
  e2e_screenshot ui_demo_box
  touch "$E2E_WORK/box.done"
  e2e_wait_line demo FORM_OPEN 20 || e2e_fail "no form: $(e2e_output demo)"
  sleep 1.5
  e2e_screenshot ui_demo_form
  touch "$E2E_WORK/form.done"
fi

e2e_wait_exit demo 30 || e2e_fail "the demo did not end: $(e2e_output demo)"
out=$(e2e_output demo)
echo "$out"
[ "$E2E_STATUS" = 0 ] || e2e_fail "exit status $E2E_STATUS"
grep -q '^ICONS 4/4$' <<<"$out" || e2e_fail "icons missing from the image list"
grep -q '^ACTIVE 1$' <<<"$out" || e2e_fail "the invisible owner form was not active"
grep -q '^MENU_CLOSED chosen=1$' <<<"$out" || e2e_fail "no entry was chosen"
expected='CLICK C:\\文書\\住所録.txt | hint= | parent=C:\\windows\\notepad.exe'
grep -qF "${expected//\\\\/\\}" <<<"$out" || e2e_fail "wrong entry clicked"
grep -q '^CLICKS 1$' <<<"$out" || e2e_fail "the click did not run exactly once"
grep -q '^BOX_RESULT OK$' <<<"$out" || e2e_fail "the message box did not answer OK"
grep -q '^FORM_RESULT Cancel$' <<<"$out" || e2e_fail "Escape did not end the modal form"
grep -q '^END$' <<<"$out" || e2e_fail "the message loop did not end"
e2e_finish
echo "ui_demo: ok"
