#!/bin/sh
# Puts the request console into a device root's console directory (served at
# "/" by the configuration of scripts/lighttpd-conf.sh): links to its files in
# devtools/console, and the route catalogue (catalogue.json) and reference
# page (routes.html) that the CGI program prints from its own route tables.
# Usage: scripts/console-files.sh DEVICE_ROOT CGI_PROGRAM
set -eu
root=${1:?usage: scripts/console-files.sh DEVICE_ROOT CGI_PROGRAM}
cgi=${2:?usage: scripts/console-files.sh DEVICE_ROOT CGI_PROGRAM}
src=$(cd "$(dirname "$0")/../devtools/console" && pwd)
console="$root/console"
mkdir -p "$console"
for f in index.html console.css console.js; do ln -sf "$src/$f" "$console/$f"; done

# write OPTION FILE: the program's output for OPTION, kept only when it is
# what was asked for (an older program answers a CGI request instead).
write() {
    env -u GATEWAY_INTERFACE "$cgi" "$1" > "$console/$2.new" 2>/dev/null || true
    if grep -q "$3" "$console/$2.new"; then
        mv "$console/$2.new" "$console/$2"
        return 0
    fi
    rm -f "$console/$2.new" "$console/$2"
    echo "console: $(basename "$cgi") has no $1 option: no $2" >&2
    return 1
}
status=0
write --routes catalogue.json '"routes"' || status=1
write --routes-html routes.html '<html' || status=1
exit $status
