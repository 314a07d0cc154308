#!/usr/bin/env bash
# Sets up, builds the Linux program with the simulated reader beside it, and asks it for the
# card on the reader the way a browser asks a native-messaging host: one framed request on
# standard input, one framed reply on standard output. The reply is printed as text, and
# its three pictures (photo, front and back face) are written as JPEG files.
#
#   scripts/run-demo.sh                 the card named in build/linux/simulator.ini
#   scripts/run-demo.sh foreigner_usa   a sample card from simulator/cards/ by name
#   scripts/run-demo.sh --serve [CARD]  serve the WebSocket endpoint in the foreground and the
#                                       demo page on http://127.0.0.1:8000/examples/ until Ctrl+C
set -euo pipefail

serve=false
if [[ ${1:-} == --serve ]]; then
    serve=true
    shift
fi

repo_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$repo_root"
build="$repo_root/build/linux"

bash scripts/setup.sh
cmake --preset linux >/dev/null
cmake --build --preset linux --target VornIdReader sdtapi WltRS --parallel "$(nproc)" >/dev/null

if [[ $# -gt 0 ]]; then
    printf '[Reader]\ncard = cards/%s.ini\n' "${1%.ini}" >"$build/simulator.ini"
fi
printf 'Card on the simulated reader: %s\n' "$(grep -E '^card' "$build/simulator.ini" || echo none)"

if $serve; then
    # The demo page reads through the client library, built here when it is not yet (setup
    # has installed its packages).
    if [[ ! -f clients/js/dist/index.js ]]; then
        (cd clients/js && npm run build >/dev/null)
    fi
    # The endpoint as the service runs it, printing a line per connection and request, and
    # the demo page served from the same machine, which is where the page may read the card.
    page_port=8000
    (cd "$build" && exec ./VornIdReader -run) &
    endpoint=$!
    python3 -m http.server --bind 127.0.0.1 --directory "$repo_root" "$page_port" \
        >/dev/null 2>&1 &
    page=$!
    trap 'kill "$endpoint" "$page" 2>/dev/null; wait "$endpoint" "$page" 2>/dev/null' EXIT
    trap 'exit 0' INT TERM
    printf 'Open http://127.0.0.1:%s/examples/ in a browser on this machine and read the card.\n' \
        "$page_port"
    printf 'Ctrl+C stops the endpoint and the page.\n'
    wait "$endpoint"
    exit 0
fi

request='"readidbase"'
reply=$(mktemp)
trap 'rm -f "$reply"' EXIT
pictures="$build/demo"
mkdir -p "$pictures"
# Four bytes of little-endian length, then the request itself, run from the demo folder.
{ printf '\x0c\x00\x00\x00'; printf '%s' "$request"; } |
    (cd "$pictures" && "$build/VornIdReader") >"$reply"

length=$(od -An -tu4 -N4 "$reply" | tr -d ' ')
printf 'Reply frame: %s bytes of JSON\n\n' "$length"
# The pictures are long base64 lines: shown shortened here, written in full as files below.
tail -c +5 "$reply" | sed -E 's/("(photo|frontImg|backImg)" : "[^"]{60})[^"]*"/\1..."/'

python3 - "$reply" "$pictures" <<'PY'
import base64, json, pathlib, sys
reply = json.loads(pathlib.Path(sys.argv[1]).read_bytes()[4:])
folder = pathlib.Path(sys.argv[2])
folder.mkdir(parents=True, exist_ok=True)
for member, name in (("photo", "photo.jpg"), ("frontImg", "front.jpg"), ("backImg", "back.jpg")):
    path = folder / name
    path.write_bytes(base64.b64decode(reply[member]))
    print(f"{member:9} -> {path} ({path.stat().st_size} bytes)" if reply[member]
          else f"{member:9} -> none in this reply")
PY
