#!/usr/bin/env bash
# The whole test run: installs what is missing, builds the three targets
# (native, win64, win32), runs the native tests under the sanitizers, the
# Windows tests and the end-to-end tests under Wine, and the fuzzers for a
# bounded time. Ends with one line "N passed, N failed".
set -uo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
bash scripts/install-deps.sh || { echo "dependency installation failed"; exit 1; }

jobs=$(nproc)
fuzz_seconds=${KUMOYA_FUZZ_SECONDS:-20}
passed=0; failed=0; failures=()
step() {  # step NAME COMMAND...
  local name=$1; shift
  echo "=== $name"
  if "$@"; then passed=$((passed + 1)); echo "=== $name: ok"
  else failed=$((failed + 1)); failures+=("$name"); echo "=== $name: FAILED"; fi
}
build() {  # build PRESET [TARGET...]
  local preset=$1; shift
  cmake --preset "$preset" >/dev/null && cmake --build "build/$preset" -j"$jobs" "$@"
}

step "static analysis (cppcheck)" bash scripts/static-analysis.sh
if ! build native; then echo "native build failed"; echo "0 passed, 1 failed"; exit 1; fi
step "native unit tests" env ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
  build/native/kumoya_tests --gtest_brief=1
# Writers killed while they save: the file is always the old or the new one
# (scripts/crash-test.sh; the full run is 1,000 kills per kind).
crash_kills=${KUMOYA_CRASH_KILLS:-50}
step "crash test, native (${crash_kills} kills per kind)" bash scripts/crash-test.sh -n "$crash_kills" native

step "win64 build" build win64
step "win32 build" build win32
# The release ZIPs (the i686 one is what users download; the x86_64 one is
# the one these machines can run, checked below).
project_version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build/win64/CMakeCache.txt)
for preset in win64 win32; do
  step "package $preset" cmake --build "build/$preset" --target package
done

# The Windows unit tests. The network tests' servers (tests/net/servers.py)
# run on the Linux side: the Windows test program cannot start a Linux python
# itself, so it finds them through KUMOYA_NET_SERVERS.
windows_unit_tests() {
  local net_ports net_pid rc
  net_ports=$(mktemp)
  /usr/bin/python3 tests/net/servers.py >"$net_ports" &
  net_pid=$!
  for _ in $(seq 100); do [ -s "$net_ports" ] && break; sleep 0.1; done
  # (When they did not start, the tests say what they need.)
  [ -s "$net_ports" ] && { export KUMOYA_NET_SERVERS; KUMOYA_NET_SERVERS=$(head -n 1 "$net_ports"); }
  "$WINE" build/win64/kumoya_tests.exe --gtest_brief=1; rc=$?
  kill "$net_pid" 2>/dev/null; wait "$net_pid" 2>/dev/null; unset KUMOYA_NET_SERVERS; rm -f "$net_ports"
  return $rc
}

if [ -f build/win64/kumoya_tests.exe ]; then
  own_display=${DISPLAY:-}
  # shellcheck source=scripts/wine-env.sh
  source scripts/wine-env.sh
  step "win64 unit tests under Wine" windows_unit_tests
  step "crash test under Wine (${crash_kills} kills per kind)" bash scripts/crash-test.sh -n "$crash_kills" wine
  for t in tests/e2e/*_test.sh; do
    [ -e "$t" ] || continue
    step "end-to-end $(basename "$t" .sh)" env KUMOYA_ROOT="$root" KUMOYA_BUILD="$root/build/win64" bash "$t"
  done
  wine_env_cleanup
  if [ -n "$own_display" ]; then export DISPLAY=$own_display; else unset DISPLAY; fi

  # The win64 ZIP, unpacked and run in a fresh prefix of its own.
  step "release ZIP in a fresh prefix" env KUMOYA_ROOT="$root" KUMOYA_BUILD="$root/build/win64" \
    bash tests/e2e/release_zip.sh "build/win64/Kumoya-$project_version-win64.zip" "$project_version" \
    x86_64-w64-mingw32-objdump
  if [ -n "$own_display" ]; then export DISPLAY=$own_display; else unset DISPLAY; fi

  # Again as on a Japanese Windows (ANSI code page 932): Wine takes its code
  # page from the Unix locale, which is built here into a folder of our own
  # (nothing system-wide). The Windows unit tests, the launcher and
  # management window end-to-end tests, and the help from a program folder
  # with a Japanese name; the others do not depend on the code page.
  ja_locales=$(mktemp -d)
  if localedef -i ja_JP -f UTF-8 "$ja_locales/ja_JP.UTF-8" >/dev/null 2>&1; then
    export LOCPATH=$ja_locales LC_ALL=ja_JP.UTF-8 KUMOYA_E2E_LOCALE=ja_JP.UTF-8 KUMOYA_EXPECT_ACP=932
    source scripts/wine-env.sh
    step "win64 unit tests under Wine, Japanese locale" windows_unit_tests
    for t in launcher manager help; do
      step "end-to-end ${t}_test, Japanese locale" env KUMOYA_ROOT="$root" KUMOYA_BUILD="$root/build/win64" \
        bash "tests/e2e/${t}_test.sh"
    done
    wine_env_cleanup
    unset LOCPATH LC_ALL KUMOYA_E2E_LOCALE KUMOYA_EXPECT_ACP
    if [ -n "$own_display" ]; then export DISPLAY=$own_display; else unset DISPLAY; fi
  else
    step "Japanese locale for Wine (localedef ja_JP UTF-8)" false
  fi
  rm -rf "$ja_locales"
fi

fuzz_quietly() {  # fuzz_quietly LOG FUZZER ARGS...
  local log=$1; shift
  if "$@" >"$log" 2>&1; then
    grep -E '^(Done|stat::number_of_executed_units|stat::peak_rss_mb)' "$log"
  else
    cat "$log"; return 1
  fi
}
if build fuzz; then
  for f in build/fuzz/*_fuzz; do
    [ -x "$f" ] || continue
    name=$(basename "$f")
    corpus=$(mktemp -d); seeds="fuzz/corpus/$name"
    # The fuzzer's progress lines go to a file; its summary (or, on a
    # finding, the whole report) is shown.
    fuzz_log="$corpus.log"
    step "fuzz $name (${fuzz_seconds}s)" fuzz_quietly "$fuzz_log" "$f" -max_total_time="$fuzz_seconds" -timeout=10 \
      -rss_limit_mb=2048 -print_final_stats=1 "$corpus" $( [ -d "$seeds" ] && echo "$seeds" )
    rm -rf "$corpus" "$fuzz_log"
  done
else
  failed=$((failed + 1)); failures+=("fuzz build")
fi

[ ${#failures[@]} -gt 0 ] && printf 'failed: %s\n' "${failures[@]}"
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
