#!/bin/sh
# Installs what is missing, builds the release configuration and runs the
# engine in a window on the generated sample game (build/release/sample/play,
# whose init.txt names the game folder ../game), passing on this script's
# arguments. The exit code is the engine's.
set -e
cd "$(dirname "$0")"

./tools/install-deps.sh

jobs=$(nproc)
cmake --preset release >/dev/null || { echo "play.sh: configuring release failed" >&2; exit 1; }
cmake --build --preset release -j"$jobs" || { echo "play.sh: building release failed" >&2; exit 1; }

# The build makes the folder; it is made again here whenever the generator
# is newer than it.
tool=build/release/tools/mksample
sample=build/release/sample
if [ ! -f "$sample/play/init.txt" ] || [ "$tool" -nt "$sample/play/init.txt" ]; then
    rm -rf "$sample.new"
    "$tool" "$sample.new" >/dev/null || { echo "play.sh: making the sample folder failed" >&2; exit 1; }
    rm -rf "$sample"
    mv "$sample.new" "$sample"
fi

cd "$sample/play"
exec ../../engine -win=1 "$@"
