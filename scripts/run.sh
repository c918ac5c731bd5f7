#!/usr/bin/env bash
# Installs what is missing, builds the program without sanitizers into
# build-run/ and starts it. Kandelo.xml and logs/ live beside the executable.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/install-deps.sh" build desktop
build="$root/build-run"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DKANDELO_SANITIZE=OFF -DKANDELO_TESTS=OFF >/dev/null
cmake --build "$build" -j"$(nproc)" --target Kandelo
exec "$build/Kandelo" "$@"
