#!/usr/bin/env bash
# Runs the fuzz harnesses of tests/fuzz with libFuzzer for a chosen time and
# reports, per harness, the executions, the coverage reached (libFuzzer's
# "cov", points of the instrumented code) and any findings.
#
#   scripts/fuzz.sh [-t seconds] [-n runs] [-j parallel] [-b build-dir] [-r] [harness ...]
#
# Each harness stops after the time or, with -n, after that many executions,
# whichever comes first. Defaults: 60 seconds each, 3 at a time, every
# harness, build dir build-fuzz. With -r, only replays each harness's
# committed corpus under clang's sanitizers (CTest) and fuzzes nothing.
# Needs clang with libFuzzer (scripts/deps/fuzz.txt, installed when missing).
# Each harness keeps its growing corpus in <build>/fuzz-corpus/<harness>
# (started from tests/fuzz/corpus/<harness>); a finding lands in
# <build>/fuzz-findings/<harness>/ and is replayed with
#   <build>/tests/fuzz/fuzz_<harness> <file>
# Exit status 1 when any harness has a finding.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
seconds=60
runs=-1
parallel=3
build="$root/build-fuzz"
replay=0
while getopts "t:n:j:b:rh" opt; do
  case "$opt" in
    t) seconds="$OPTARG" ;;
    n) runs="$OPTARG" ;;
    j) parallel="$OPTARG" ;;
    b) build="$OPTARG" ;;
    r) replay=1 ;;
    *) awk 'NR > 1 && !/^#/ {exit} NR > 1' "$0" | sed 's/^# \{0,1\}//'; exit 2 ;;
  esac
done
shift $((OPTIND - 1))

harnesses=("$@")
if ((${#harnesses[@]} == 0)); then
  for f in "$root"/tests/fuzz/fuzz_*.cpp; do
    h="$(basename "$f" .cpp)"
    harnesses+=("${h#fuzz_}")
  done
fi

"$root/scripts/install-deps.sh" fuzz

flags="-O1 -g -fno-omit-frame-pointer -fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=undefined"
CC=clang CXX=clang++ cmake -S "$root" -B "$build" -DKANDELO_FUZZ=ON -DKANDELO_TESTS=ON \
  -DCMAKE_BUILD_TYPE= -DCMAKE_CXX_FLAGS="$flags" >/dev/null
targets=()
for h in "${harnesses[@]}"; do targets+=("fuzz_$h"); done
cmake --build "$build" -j"$parallel" --target "${targets[@]}"

export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:allocator_may_return_null=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
export LSAN_OPTIONS="suppressions=$root/tests/lsan.supp:print_suppressions=0"
export QT_QPA_PLATFORM=offscreen

if ((replay)); then
  cd "$build"
  exec ctest -L fuzz -R "^fuzz_($(IFS='|'; echo "${harnesses[*]}"))\$" --output-on-failure -j"$parallel"
fi

run_one() {
  local h="$1"
  local corpus="$build/fuzz-corpus/$h" findings="$build/fuzz-findings/$h"
  mkdir -p "$corpus" "$findings"
  "$build/tests/fuzz/fuzz_$h" "$corpus" "$root/tests/fuzz/corpus/$h" \
    -max_total_time="$seconds" -runs="$runs" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
    -artifact_prefix="$findings/" >"$build/fuzz-$h.log" 2>&1 || true
}

echo "fuzzing ${harnesses[*]} for ${seconds}s each, $parallel at a time"
running=0
for h in "${harnesses[@]}"; do
  run_one "$h" &
  running=$((running + 1))
  if ((running >= parallel)); then
    wait -n || true
    running=$((running - 1))
  fi
done
wait || true

status=0
printf '%-16s %14s %10s %8s %8s  %s\n' harness executions exec/s coverage corpus findings
for h in "${harnesses[@]}"; do
  log="$build/fuzz-$h.log"
  runs="$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)"
  rate="$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -1)"
  cov="$(grep -o 'cov: [0-9]*' "$log" | tail -1 | cut -d' ' -f2)"
  size="$(find "$build/fuzz-corpus/$h" -type f | wc -l)"
  found="$(find "$build/fuzz-findings/$h" -type f | wc -l)"
  if ((found > 0)) || grep -q "ERROR: libFuzzer\|SUMMARY: .*Sanitizer" "$log"; then
    status=1
    found="$found (see $log)"
  fi
  printf '%-16s %14s %10s %8s %8s  %s\n' "$h" "${runs:-?}" "${rate:-?}" "${cov:-?}" "$size" "$found"
done
exit "$status"
