#!/usr/bin/env bash
# Static analysis of src/ with cppcheck: every finding of the warning,
# performance and portability classes fails the run. Suppressions only in
# .ci/cppcheck-suppressions.txt, each with its reason.
#
# The style class is left out: on this code it reports mostly false
# positives (conditions set through pointers handed to system calls, a
# comma expression returning true) and matters of taste (std::algorithm
# instead of a loop).
set -uo pipefail
cd "$(dirname "$0")/.."
command -v cppcheck >/dev/null || { echo "cppcheck is not installed (scripts/install-deps.sh)"; exit 1; }
cppcheck --version
exec nice cppcheck --std=c++20 --language=c++ --enable=warning,performance,portability \
  --error-exitcode=1 --quiet -j"$(nproc)" -I src \
  --suppressions-list=.ci/cppcheck-suppressions.txt \
  --template='{file}:{line}: {severity} {id}: {message}' src/
