#!/bin/sh
# Prints which folder of the program's sources includes headers of which other folder, and how
# many times, and fails naming every include that points up: a folder includes only the folders
# below it in the table of docs/architecture.md.
set -eu
cd "$(dirname "$0")/.."
folders="host websocket request card imaging codec diagnostics platform resources"

# The folders each folder may include besides its own.
allowed() {
    case $1 in
        host) echo "websocket request card imaging codec diagnostics platform resources" ;;
        websocket) echo "codec platform" ;;
        request) echo "card imaging diagnostics platform" ;;
        card) echo "diagnostics platform" ;;
        imaging) echo "card codec platform resources" ;;
        diagnostics) echo "platform" ;;
        *) echo "" ;;
    esac
}

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

upward=0
for folder in $present; do
    may=" $folder $(allowed "$folder") "
    # file:line:#include "target/...": a target among the program's folders that this folder
    # may not include points up.
    for hit in $(grep -rnoE '^#include "[a-z_]+/[^" ]*"' --include='*.h' --include='*.cpp' \
        "$folder" | tr -d '"' | sed 's/#include /=/'); do
        header=${hit#*=}
        target=${header%%/*}
        case " $folders " in *" $target "*) ;; *) continue ;; esac
        case "$may" in *" $target "*) continue ;; esac
        echo "folder-includes: ${hit%%:=*} includes $header: $folder may not include $target" >&2
        upward=1
    done
done
exit $upward
