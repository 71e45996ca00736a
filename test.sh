#!/bin/sh
# Installs what is missing, checks the layering of src/ and that no command
# or class id is typed as a number, builds the asan
# configuration (clang with ASan and UBSan; the same libraries also make the
# libFuzzer targets) and runs every test through ctest.
set -e
cd "$(dirname "$0")"

./tools/install-deps.sh

./tools/check-layers.sh || { echo "test.sh: an include points up a room (tools/check-layers.sh)" >&2; exit 1; }
./tools/check-ids.sh || { echo "test.sh: a command or class id is typed as a number (tools/check-ids.sh)" >&2; exit 1; }

jobs=$(nproc)
# A build folder configured with another compiler (g++ built this
# configuration before) is configured afresh.
if [ -f build/asan/CMakeCache.txt ] && ! grep -q '^CMAKE_CXX_COMPILER:.*clang++' build/asan/CMakeCache.txt; then
    rm -rf build/asan/CMakeCache.txt build/asan/CMakeFiles
fi
cmake --preset asan >/dev/null || { echo "test.sh: configuring asan failed" >&2; exit 1; }
cmake --build --preset asan -j"$jobs" || { echo "test.sh: building asan failed" >&2; exit 1; }

# Every test program runs whole in one process, shuffled, once for each of
# the seeds 1, 2 and 3 (a test that leans on what another left behind, or
# leaves something behind that breaks another, fails there), and the fuzz
# entries run as they are. The one-process-per-case entries (label "single")
# hold the same cases again: `ctest --test-dir build/asan` alone runs every
# entry. The films, the engine's start-up logo and the save screens' pauses
# wait for no real time in the tests (ENGINE_SKIP_WAITS, fake films), but
# some waiting is left (sound played in real time, Xvfb, the processes'
# start-up and exit): two runs more than there are cores keep the cores busy
# meanwhile.
set +e
ctest --test-dir build/asan --output-on-failure -j"$((jobs + 2))" -LE '^single$'
