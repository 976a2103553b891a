#!/bin/sh
# Builds the advertisement wait thread and its tests under ThreadSanitizer by
# hand (the project's presets use AddressSanitizer, which cannot be combined
# with it) and runs them a few times. Usage: scripts/tsan-advertisement.sh
set -eu
cd "$(dirname "$0")/.."
out=build/tsan
mkdir -p "$out"
g=/usr/src/googletest/googletest
flags="-std=c++20 -g -O1 -fsanitize=thread -Wall -Wextra -Werror -Wno-restrict -finput-charset=UTF-8 -fexec-charset=CP932 -Isrc -Itests -I$g/include"
for s in src/online/cmthread.cpp src/online/cmdata.cpp src/platform/posix/files.cpp src/platform/posix/host_path.cpp \
         src/platform/posix/codec.cpp src/platform/posix/clock.cpp src/platform/text.cpp src/platform/datetime.cpp \
         tests/support/scratch_folder.cpp tests/online/cmthread_test.cpp tests/online/cmdata_test.cpp; do
  g++ $flags -c "$s" -o "$out/$(basename "$s").o"
done
[ -f "$out/gtest-all.o" ] || g++ -std=c++20 -O1 -g -fsanitize=thread -I$g/include -I$g -c $g/src/gtest-all.cc -o "$out/gtest-all.o"
[ -f "$out/gtest_main.o" ] || g++ -std=c++20 -O1 -fsanitize=thread -I$g/include -c $g/src/gtest_main.cc -o "$out/gtest_main.o"
g++ -fsanitize=thread "$out"/*.o -o "$out/tsan_tests" -lpthread
TSAN_OPTIONS="halt_on_error=1" "$out/tsan_tests" --gtest_filter='AdvertisementWait*:AdvertisementFile*' --gtest_repeat=3
