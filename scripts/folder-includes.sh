#!/bin/sh
# Prints which folder of the program's sources includes headers of which other folder, and how
# many times, so that a dependency pointing back up shows at a glance.
set -eu
cd "$(dirname "$0")/.."
folders="host websocket request card imaging codec diagnostics platform resources"
present=""
for folder in $folders; do
    [ -d "$folder" ] && present="$present $folder"
done
printf '%-12s %s\n' "folder" "includes (count)"
for folder in $present; do
    # Subfolders count as their top folder: "imaging/photo/x.h" is a header of imaging.
    line=$(grep -rhoE '^#include "[a-z_]+/' --include='*.h' --include='*.cpp' "$folder" |
        sed -E 's/^#include "([a-z_]+)\//\1/' | grep -vx "$folder" | sort | uniq -c |
        awk '{printf "%s%s (%s)", sep, $2, $1; sep=", "}')
    printf '%-12s %s\n' "$folder" "${line:-none}"
done
