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

# The request program itself with the daemon simulator behind the same web
# server: JSON in a GET query (which lighttpd re-encodes), and the redirect
# of the mailed-link log-in.
kill "$pid" 2>/dev/null; wait "$pid" 2>/dev/null || true; pid=""
root2=$(mktemp -d "${TMPDIR:-/tmp}/nvrweb-smoke-XXXXXX")
simpid=""
cleanup() { [ -n "$pid" ] && kill "$pid" 2>/dev/null; [ -n "$simpid" ] && kill "$simpid" 2>/dev/null; rm -rf "$root" "$root2"; }
mkdir -p "$root2/tmp" "$root2/mnt/nand/app" "$root2/var/run"
NVRWEB_ROOT="$root2" "$build/nvrweb-sim" --log "$root2/sim.jsonl" >/dev/null 2>&1 &
simpid=$!
"$here/scripts/lighttpd-conf.sh" "$root2" "$port" "$build/nvrweb.cgi" > "$root2/lighttpd.conf"
"$lighttpd" -D -f "$root2/lighttpd.conf" &
pid=$!
for i in $(seq 1 50); do
    curl -s -o /dev/null "http://127.0.0.1:$port/html/index.html" && [ -S "$root2/var/run/qxsocket" ] && break
    sleep 0.1
done
base="http://127.0.0.1:$port/cgi-bin/nvrweb.cgi"
for query in '{"chnid":3}' '%7B%22chnid%22%3A3%7D' '%7b%22chnid%22:3%7d'; do
    out=$(curl -s -g "$base/6010?$query")
    case "$out" in '{"chnid":3,'*) ;; *) echo "GET $query through lighttpd: $out"; exit 1 ;; esac
done
headers=$(curl -s -i "$base/1018?token=abc" | tr -d '\r')
case "$headers" in "HTTP/1.1 302"*) ;; *) echo "/1018 is no redirect: $headers"; exit 1 ;; esac
echo "$headers" | grep -q '^Location: ../../html/index.html$' || { echo "/1018 Location: $headers"; exit 1; }
echo "$headers" | grep -q '^Set-Cookie: userName=temp; domain=127.0.0.1;' || { echo "/1018 cookies: $headers"; exit 1; }
status=$(curl -s -o /dev/null -w '%{http_code}' "$base/9999")
[ "$status" = 404 ] || { echo "unknown route answered $status"; exit 1; }
status=$(curl -s -o /dev/null -w '%{http_code}' -I "$base/6010")
[ "$status" = 405 ] || { echo "HEAD answered $status"; exit 1; }
# Sessions enforced: a request without the session cookie is refused, the
# same with the cookie of a log-in is served.
if [ -x "$build/nvrweb-settings" ]; then
    settings() { NVRWEB_ROOT="$root2" "$build/nvrweb-settings" "$@"; }
    settings init && settings param set session_check 2 && settings user add admin admin 0 >/dev/null
    out=$(curl -s -i -g "$base/6010?{%22chnid%22:3}" | tr -d '\r')
    case "$out" in "HTTP/1.1 403"*'{"status":"NO SESSION"}') ;; *) echo "no refusal without a session: $out"; exit 1 ;; esac
    sid=$(curl -s -H 'Content-Type: application/json' -d '{"userName":"admin","md5":"21232f297a57a5a743894a0e4a801fc3"}' \
        "$base/1000" | sed 's/.*"sessionId":"\([0-9]*\)".*/\1/')
    out=$(curl -s -g -b "lang=en; sessionId=$sid" "$base/6010?{%22chnid%22:3}")
    case "$out" in '{"chnid":3,'*) ;; *) echo "session $sid not served: $out"; exit 1 ;; esac
fi
echo "lighttpd smoke test passed"
