#!/usr/bin/env bash
# Copies the window pictures that tests/e2e/help_test.sh takes (artifacts/
# help-NAME.png) into the help (help/images/NAME.png), where its pages show
# them. Run the test first.
set -euo pipefail
cd "$(dirname "$0")/.."
copied=0
for shot in artifacts/help-*.png; do
  [ -e "$shot" ] || continue
  name=$(basename "$shot" .png)
  cp "$shot" "help/images/${name#help-}.png"
  copied=$((copied + 1))
done
echo "$copied pictures copied into help/images"
[ "$copied" -gt 0 ]
