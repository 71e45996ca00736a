#!/bin/sh
# Checks the layering of src/: seven rooms, bottom to top
#   base, platform, library, core, actors, game, app
# and a file may include headers of its own room or of rooms below it only.
# Prints every include that points up a room and every file outside the
# rooms; exits 1 when there is one, 0 when the layers are clean.
# Usage: tools/check-layers.sh [SOURCE-ROOT]   (default: the src/ of this tree)
root=${1:-"$(dirname "$0")/../src"}
if [ ! -d "$root" ]; then
    echo "check-layers: $root: no such folder" >&2
    exit 2
fi
cd "$root" || exit 2

find . -type f \( -name '*.h' -o -name '*.hpp' -o -name '*.cpp' -o -name '*.inc' \) | sort | awk '
function rank(room) {
    if (room == "base") return 1
    if (room == "platform") return 2
    if (room == "library") return 3
    if (room == "core") return 4
    if (room == "actors") return 5
    if (room == "game") return 6
    if (room == "app") return 7
    return 0
}
{
    file = substr($0, 3)
    split(file, parts, "/")
    own = rank(parts[1])
    if (own == 0 || index(file, "/") == 0) {
        printf "%s: outside the seven rooms\n", file
        bad = 1
        next
    }
    line = 0
    while ((getline text < $0) > 0) {
        line++
        if (text !~ /^[ \t]*#[ \t]*include[ \t]*"/) continue
        target = text
        sub(/^[^"]*"/, "", target)
        sub(/".*$/, "", target)
        split(target, tparts, "/")
        other = rank(tparts[1])
        if (other > own) {
            printf "%s:%d: includes \"%s\" (%s above %s)\n", file, line, target, tparts[1], parts[1]
            bad = 1
        }
    }
    close($0)
}
END { exit bad ? 1 : 0 }
'
