#!/bin/sh
# Smoke test: a request through a real lighttpd reaches the CGI with its
# route and body, and the answer comes back.
# Usage: tests/lighttpd_smoke.sh BUILD_DIR
set -eu
build=$(cd "$1" && pwd)
here=$(cd "$(dirname "$0")/.." && pwd)
lighttpd=$(command -v lighttpd || echo /usr/sbin/lighttpd)
root=$(mktemp -d "${TMPDIR:-/tmp}/nvrweb-smoke-XXXXXX")
pid=""
cleanup() { [ -n "$pid" ] && kill "$pid" 2>/dev/null; rm -rf "$root"; }
trap cleanup EXIT
mkdir -p "$root/tmp" "$root/mnt/nand/app" "$root/var/run"
port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')
"$here/scripts/lighttpd-conf.sh" "$root" "$port" "$build/nvrweb-echo.cgi" > "$root/lighttpd.conf"
"$lighttpd" -D -f "$root/lighttpd.conf" &
pid=$!
for i in $(seq 1 50); do
    curl -s -o /dev/null "http://127.0.0.1:$port/html/index.html" && break
    sleep 0.1
done
out=$(curl -s -H 'Content-Type: application/json' --data '{"userName":"admin"}' \
    "http://127.0.0.1:$port/cgi-bin/nvrweb.cgi/0001")
expected=$(printf 'route=/0001\nlen=20\n{"userName":"admin"}')
if [ "$out" != "$expected" ]; then
    echo "unexpected answer through lighttpd:"; echo "$out"
    cat "$root/var/log/lighttpd-error.log" 2>/dev/null || true
    exit 1
fi
out=$(curl -s "http://127.0.0.1:$port/cgi-bin/nvrweb.cgi/0001?%22q%22")
case "$out" in *'"q"'*) ;; *) echo "GET through lighttpd failed: $out"; exit 1 ;; esac
echo "lighttpd smoke test passed"
