#!/bin/sh
# Installs what is missing and builds the release configuration.
set -e
cd "$(dirname "$0")"

./tools/install-deps.sh

jobs=$(nproc)
cmake --preset release >/dev/null || { echo "play.sh: configuring release failed" >&2; exit 1; }
cmake --build --preset release -j"$jobs" || { echo "play.sh: building release failed" >&2; exit 1; }

echo "play.sh: the engine is built in build/release; the game cannot run yet."
