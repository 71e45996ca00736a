#!/bin/sh
# Installs what is missing, checks the layering of src/, builds the asan
# configuration (clang with ASan and UBSan; the same libraries also make the
# libFuzzer targets) and runs every test through ctest.
set -e
cd "$(dirname "$0")"

./tools/install-deps.sh

./tools/check-layers.sh || { echo "test.sh: an include points up a room (tools/check-layers.sh)" >&2; exit 1; }

jobs=$(nproc)
# A build folder configured with another compiler (g++ built this
# configuration before) is configured afresh.
if [ -f build/asan/CMakeCache.txt ] && ! grep -q '^CMAKE_CXX_COMPILER:.*clang++' build/asan/CMakeCache.txt; then
    rm -rf build/asan/CMakeCache.txt build/asan/CMakeFiles
fi
cmake --preset asan >/dev/null || { echo "test.sh: configuring asan failed" >&2; exit 1; }
cmake --build --preset asan -j"$jobs" || { echo "test.sh: building asan failed" >&2; exit 1; }

# When the gtest programs also run whole, shuffled, once per seed (label
# "shuffled"), those runs take the place of running each case in a process of
# its own (label "single"): every case still runs, three times, and most of the
# time per case otherwise goes to starting the process. Everything else runs
# as it is. `ctest --test-dir build/asan` alone still runs every entry.
label_count() {
    ctest --test-dir build/asan -N -L "$1" | sed -n 's/^Total Tests: //p'
}
skip=""
if [ "$(label_count '^shuffled$')" -gt 0 ] && [ "$(label_count '^single$')" -gt 0 ]; then
    skip="-LE ^single$"
fi

set +e
# shellcheck disable=SC2086
ctest --test-dir build/asan --output-on-failure -j"$jobs" $skip
