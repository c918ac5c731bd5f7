#!/usr/bin/env bash
# Installs what is missing, builds with AddressSanitizer and
# UndefinedBehaviorSanitizer, runs every test through CTest, and replays the
# fuzz corpora in a clang build (build-fuzz).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
# Every dependency list but the desktop one, which only a person at the screen needs.
"$root/scripts/install-deps.sh" $(cd "$root/scripts/deps" && ls *.txt | sed 's/\.txt$//' | grep -vx desktop)
build="$root/build-test"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Debug -DKANDELO_SANITIZE=ON -DKANDELO_TESTS=ON >/dev/null
cmake --build "$build" -j"$(nproc)"
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:strict_string_checks=1:detect_stack_use_after_return=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
export LSAN_OPTIONS="suppressions=$root/tests/lsan.supp:print_suppressions=0"
(cd "$build" && ctest --output-on-failure -j"$(nproc)")
# g++ ends a local's life only after every destructor of its scope has run, so
# a destructor calling back into a local declared after its object goes
# unseen: the fuzz corpora are replayed once more built with clang.
"$root/scripts/fuzz.sh" -r -j"$(nproc)"
