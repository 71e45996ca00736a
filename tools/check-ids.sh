#!/bin/sh
# Checks that command ids (kCmd...) and actor class ids (k...Class,
# k...ClassId) are not typed as numbers in the code: they come from
# core/actors/command_ids.h, which the build writes from the command table
# (cmake/CommandIds.cmake). Looks at src/, tools/, bench/ and fuzz/ (tests
# may pin numbers) and prints every constant defined with a number there;
# exits 1 when there is one, 0 when there is none.
# Usage: tools/check-ids.sh [TREE]   (default: this tree)
root=${1:-"$(dirname "$0")/.."}
if [ ! -d "$root/src" ]; then
    echo "check-ids: $root/src: no such folder" >&2
    exit 2
fi
cd "$root" || exit 2

found=$(find src tools bench fuzz -type f \( -name '*.h' -o -name '*.hpp' -o -name '*.cpp' -o -name '*.inc' \) 2>/dev/null |
    sort | xargs grep -nE '\bk(Cmd[A-Za-z0-9_]*|[A-Za-z0-9_]*Class(Id)?)[[:space:]]*=[[:space:]]*[0-9]' /dev/null)
if [ -n "$found" ]; then
    printf '%s\n' "$found" | sed 's/$/   <- use the name from core\/actors\/command_ids.h/'
    exit 1
fi
exit 0
