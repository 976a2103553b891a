#!/usr/bin/env bash
# The release ZIP as a user gets it: it holds the two programs, the help and
# both READMEs, each program imports system libraries only (nothing else has
# to be installed), the README and the version resource carry the project's
# version, and in a fresh Wine prefix kumoya-catalog works and Zelkova.exe
# starts, runs its first-run wizard and shows its window.
#   release_zip.sh ZIP VERSION OBJDUMP
# Run on its own (not from the shared prefix of the other end-to-end tests).
set -uo pipefail
zip=$1 version=$2 objdump=$3
unset WINEPREFIX
source "$(dirname "$0")/lib.sh"
[ -f "$zip" ] || e2e_fail "no package $zip"

unzip -q "$zip" -d "$E2E_WORK/unpacked" || e2e_fail "cannot unpack $zip"
top=$(basename "$zip" .zip)
dir=$E2E_WORK/unpacked/$top
[ -d "$dir" ] || e2e_fail "the package has no folder $top"
for f in Zelkova.exe kumoya-catalog.exe README-ja.txt README-en.txt help/index.html help/keywords.html \
         help/tips.html help/using-help.html help/catalogue.html; do
  [ -f "$dir/$f" ] || e2e_fail "the package lacks $f"
done
extra=$(cd "$dir" && find . -type f ! -path './help/*' | sort | tr '\n' ' ')
[ "$extra" = "./README-en.txt ./README-ja.txt ./Zelkova.exe ./kumoya-catalog.exe " ] ||
  e2e_fail "unexpected files in the package: $extra"
e2e_log "contents: ok"

# Only libraries every Windows has: no MinGW runtime DLLs.
system_dlls=" $(echo kernel32.dll user32.dll gdi32.dll advapi32.dll shell32.dll ole32.dll oleaut32.dll \
  comctl32.dll comdlg32.dll shlwapi.dll ws2_32.dll winmm.dll msvcrt.dll uxtheme.dll version.dll imm32.dll) "
for exe in Zelkova.exe kumoya-catalog.exe; do
  dlls=$("$objdump" -p "$dir/$exe" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr 'A-Z' 'a-z')
  [ -n "$dlls" ] || e2e_fail "$exe: no import table read"
  for dll in $dlls; do
    case "$system_dlls" in *" $dll "*) ;; *) e2e_fail "$exe imports $dll, which is not part of Windows" ;; esac
  done
  e2e_log "$exe imports: $(echo $dlls)"
done

# One version everywhere.
grep -q "Kumoya $version" "$dir/README-ja.txt" || e2e_fail "README-ja.txt does not name version $version"
grep -q "Kumoya $version" "$dir/README-en.txt" || e2e_fail "README-en.txt does not name version $version"
wide_version=$(printf '%s' "$version" | iconv -f ASCII -t UTF-16LE | od -An -tx1 | tr -d ' \n')
exe_hex=$(od -An -tx1 -v "$dir/Zelkova.exe" | tr -d ' \n')
[[ $exe_hex == *"$wide_version"* ]] ||
  e2e_fail "the version resource of Zelkova.exe does not hold $version"
e2e_log "version $version: ok"

export LC_ALL=C.UTF-8
windir=$(winepath -w "$dir" 2>/dev/null)
(cd "$dir" && timeout 60 "$WINE" kumoya-catalog.exe new "$windir\\backup-test.dat") >"$E2E_WORK/new.out" 2>&1 ||
  e2e_fail "kumoya-catalog new failed: $(cat "$E2E_WORK/new.out")"
(cd "$dir" && timeout 60 "$WINE" kumoya-catalog.exe check backup-test.dat) >"$E2E_WORK/check.out" 2>&1 ||
  e2e_fail "kumoya-catalog check failed: $(cat "$E2E_WORK/check.out")"
rm -f "$dir/backup-test.dat"
e2e_log "kumoya-catalog: ok"

# A first start from the unpacked folder: the wizard opens.
(cd "$dir" && "$WINE" Zelkova.exe >"$E2E_WORK/zelkova.out" 2>&1) & E2E_PIDS+=($!)
D wait-window "ウイザード" --timeout 60000 >/dev/null || D wait-window Kumoya --timeout 5000 >/dev/null ||
  e2e_fail "Zelkova.exe showed no window: $(D list-windows)"
e2e_screenshot release-first-start
e2e_log "Zelkova.exe from the package shows its window"
e2e_finish
