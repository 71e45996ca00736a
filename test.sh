#!/bin/sh
# Installs what is missing, checks the layering of src/, builds the sanitizer
# configuration (and the libFuzzer targets when clang++ exists) and runs every
# test through ctest.
set -e
cd "$(dirname "$0")"

./tools/install-deps.sh

./tools/check-layers.sh || { echo "test.sh: an include points up a room (tools/check-layers.sh)" >&2; exit 1; }

jobs=$(nproc)
cmake --preset asan >/dev/null || { echo "test.sh: configuring asan failed" >&2; exit 1; }
cmake --build --preset asan -j"$jobs" || { echo "test.sh: building asan failed" >&2; exit 1; }

if command -v clang++ >/dev/null 2>&1; then
    cmake --preset fuzz >/dev/null || { echo "test.sh: configuring fuzz failed" >&2; exit 1; }
    cmake --build --preset fuzz -j"$jobs" || { echo "test.sh: building fuzz failed" >&2; exit 1; }
fi

set +e
ctest --test-dir build/asan --output-on-failure -j"$jobs"
