#!/usr/bin/env bash
# Long fuzzing: runs each fuzzer of the fuzz preset in turn, one at a time,
# for a given time or number of executions, and keeps what it learnt.
#
#   scripts/fuzz-long.sh [-t SECONDS] [-n RUNS] [-k] [NAME...]
#
#   -t SECONDS  time per fuzzer (default 600)
#   -n RUNS     stop a fuzzer after this many executions (default: no limit;
#               whichever of -t and -n comes first ends it)
#   -k          keep the seed folders as they are (do not write the
#               minimised corpus back to fuzz/corpus/NAME/)
#   NAME        fuzzers to run (catalogue_fuzz ...); all of them by default
#
# Each fuzzer grows a working corpus in build/fuzz/corpus/NAME/ (kept between
# runs, never committed), started from the seeds in fuzz/corpus/NAME/. At the
# end the inputs of the working corpus that reach something the seeds do not
# are added to the seeds (the smallest such inputs, as libFuzzer's merge
# picks them), so the committed seeds stay small and the next run, CI's
# short ones included, starts from what this one reached. A finding is kept
# in build/fuzz/findings/ and makes the script fail.
#
# One line per fuzzer at the end: executions, coverage (cov: edges, ft:
# features, as libFuzzer counts them), corpus size and the outcome. Runs at
# the lowest priority: the machine is shared.
set -uo pipefail
cd "$(dirname "$0")/.."

seconds=600; runs=-1; write_back=1
while getopts "t:n:k" opt; do
  case $opt in
    t) seconds=$OPTARG ;;
    n) runs=$OPTARG ;;
    k) write_back=0 ;;
    *) sed -n '2,20p' "$0"; exit 2 ;;
  esac
done
shift $((OPTIND - 1))

cmake --preset fuzz >/dev/null && nice -n 19 cmake --build build/fuzz -j2 >/dev/null \
  || { echo "fuzz build failed"; exit 1; }

names=("$@")
if [ ${#names[@]} -eq 0 ]; then
  for f in build/fuzz/*_fuzz; do [ -x "$f" ] && names+=("$(basename "$f")"); done
fi

mkdir -p build/fuzz/findings build/fuzz/logs
# The fuzzers that write files get an empty temporary folder of their own, in
# memory where the machine has /dev/shm: a crowded /tmp makes every lookup of
# a missing name read the whole folder, and a disk makes every write wait.
scratch_base=/dev/shm; [ -d "$scratch_base" ] && [ -w "$scratch_base" ] || scratch_base=build/fuzz
scratch=$(mktemp -d "$scratch_base/kumoya-fuzz.XXXXXX")
trap 'rm -rf "$scratch"' EXIT
summary=(); failed=0
for name in "${names[@]}"; do
  bin=build/fuzz/$name
  [ -x "$bin" ] || { echo "no fuzzer $name"; failed=1; continue; }
  seeds=fuzz/corpus/$name work=build/fuzz/corpus/$name log=build/fuzz/logs/$name.log
  mkdir -p "$seeds" "$work"
  echo "=== $name: ${seconds}s$( [ "$runs" -ge 0 ] && echo ", at most $runs executions")"
  # The time limit per input is generous: at the lowest priority on a busy
  # machine a process can wait many seconds for the processor.
  TMPDIR=$scratch nice -n 19 "$bin" -max_total_time="$seconds" -runs="$runs" -timeout=60 -rss_limit_mb=2048 \
    -print_final_stats=1 -artifact_prefix="build/fuzz/findings/$name-" "$work" "$seeds" >"$log" 2>&1
  rc=$?
  execs=$(grep -o '^stat::number_of_executed_units: [0-9]*' "$log" | awk '{print $2}')
  last=$(grep -E '^#[0-9]+' "$log" | tail -n 1)
  cov=$(grep -o 'cov: [0-9]*' <<<"$last" | awk '{print $2}')
  ft=$(grep -o 'ft: [0-9]*' <<<"$last" | awk '{print $2}')
  if [ $rc -eq 0 ]; then
    outcome="no finding"
  else
    outcome="FINDING: $(grep -m1 -E 'ERROR: |runtime error|deadly signal|Test unit written' "$log" | head -c 160)"
    failed=1
    tail -n 40 "$log"
  fi
  if [ $rc -eq 0 ] && [ "$write_back" -eq 1 ]; then
    # The seeds keep their named cases; of what the run found, only the
    # inputs that reach coverage the seeds do not are added (libFuzzer's
    # merge picks the smallest such inputs).
    TMPDIR=$scratch nice -n 19 "$bin" -merge=1 -timeout=60 -rss_limit_mb=2048 "$seeds" "$work" >"$log.merge" 2>&1 \
      || echo "merge failed for $name: see $log.merge"
  fi
  units=$(find "$seeds" -type f | wc -l); size=$(du -sk "$seeds" | awk '{print $1}')
  summary+=("$(printf '%-16s %12s execs  cov %6s  ft %7s  seeds %4s (%s KiB)  %s' \
    "$name" "${execs:-?}" "${cov:-?}" "${ft:-?}" "$units" "$size" "$outcome")")
done

printf '%s\n' "${summary[@]}"
exit $failed
