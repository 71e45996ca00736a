#!/bin/sh
# Installs the Debian packages the engine needs to build, test and run.
# Safe to run again: it only installs what is missing.
set -e

PACKAGES="g++ cmake ninja-build pkg-config ccache clang libclang-rt-dev libgtest-dev
libbenchmark-dev liblua5.4-dev libsdl2-dev libopenal-dev libavcodec-dev libavformat-dev
libavutil-dev libswscale-dev libswresample-dev libasound2-dev libfreetype-dev libfontconfig-dev
libpng-dev libjpeg-dev zlib1g-dev libgl1-mesa-dri libegl1-mesa-dev fonts-dejavu-core
fonts-liberation2 xvfb xauth lld
xdotool"

missing=""
for p in $PACKAGES; do
    status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
    if [ "$status" != "install ok installed" ]; then
        missing="$missing $p"
    fi
done

if [ -z "$missing" ]; then
    exit 0
fi

echo "install-deps: installing:$missing"
if [ "$(id -u)" = "0" ]; then
    run=""
elif command -v sudo >/dev/null 2>&1 && sudo -n true 2>/dev/null; then
    run="sudo -n"
else
    echo "install-deps: missing packages:$missing" >&2
    echo "install-deps: run as root or with password-less sudo to install them" >&2
    exit 1
fi

if ! $run apt-get update; then
    echo "install-deps: apt-get update failed" >&2
    exit 1
fi
# shellcheck disable=SC2086
if ! $run env DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends $missing; then
    echo "install-deps: apt-get install failed for:$missing" >&2
    exit 1
fi
