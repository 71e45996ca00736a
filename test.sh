#!/bin/sh
# Installs what is missing, checks the layering of src/, builds the asan
# configuration (clang with ASan and UBSan; the same libraries also make the
# libFuzzer targets) and runs every test through ctest.
set -e
cd "$(dirname "$0")"

./tools/install-deps.sh

./tools/check-layers.sh || { echo "test.sh: an include points up a room (tools/check-layers.sh)" >&2; exit 1; }

jobs=$(nproc)
cmake --preset asan >/dev/null || { echo "test.sh: configuring asan failed" >&2; exit 1; }
cmake --build --preset asan -j"$jobs" || { echo "test.sh: building asan failed" >&2; exit 1; }

set +e
ctest --test-dir build/asan --output-on-failure -j"$jobs"
