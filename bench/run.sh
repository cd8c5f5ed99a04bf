#!/bin/sh
# Runs every benchmark and prints one table: whole-process cost against a
# minimal C CGI, peak memory, the daemon round trip, requests per second
# through lighttpd, and the in-process micro benchmarks.
# Usage: bench/run.sh [RUNS]
set -eu
cd "$(dirname "$0")/.."
scripts/deps.sh bench
runs=${1:-200}
jobs=$(nproc 2>/dev/null || echo 2)
b=build-bench
cmake -S . -B $b -DCMAKE_BUILD_TYPE=Release -DNVRWEB_BENCH=ON -DNVRWEB_TESTS=ON >/dev/null
cmake --build $b -j"$jobs" > /tmp/nvrweb-bench-build.log 2>&1 || { cat /tmp/nvrweb-bench-build.log; exit 1; }
B=$(pwd)/$b

root=$(mktemp -d /tmp/nvrweb-bench-XXXXXX)
mkdir -p "$root/tmp" "$root/mnt/nand/app" "$root/var/run" "$root/var/log" "$root/opt/app/www"
pids=""
cleanup() { for p in $pids; do kill "$p" 2>/dev/null || true; done; wait 2>/dev/null || true; rm -rf "$root"; }
trap cleanup EXIT INT TERM
export NVRWEB_ROOT="$root"
if [ -x $B/nvrweb-settings ]; then
    $B/nvrweb-settings init
    $B/nvrweb-settings user add admin admin 0 >/dev/null
fi
if [ -x $B/nvrweb-sim ]; then
    $B/nvrweb-sim &
    pids="$pids $!"
    for i in $(seq 1 50); do [ -S "$root/var/run/qxsocket" ] && break; sleep 0.1; done
fi

# Multipart bodies of 1 MB and 50 MB with one file part.
mp() {
    f=$root/mp-$1
    { printf -- '--BNDRY\r\nContent-Disposition: form-data; name="file"; filename="fw.bin"\r\n\r\n'
      head -c "$1" /dev/urandom
      printf -- '\r\n--BNDRY--\r\n'; } > "$f"
    echo "$f"
}
# A plate-list import as large as the POST intake takes (30719 characters).
plates=$root/plates.json
python3 -c 'import sys
e=[]; n=0
while True:
    s="[\"%s\",\"PL%%20%05d\"]" % ("black" if n % 2 == 0 else "white", n)
    if 30 + sum(len(x) + 1 for x in e) + len(s) > 30700: break
    e.append(s); n += 1
sys.stdout.write("{\"cnt\":%d,\"plate\":[%s]}" % (n, ",".join(e)))' > "$plates"
mp1=$(mp 1048576)
mp50=$(mp 52428800)
login='{"userName":"admin","md5":"21232f297a57a5a743894a0e4a801fc3"}'
ct='multipart/form-data; boundary=BNDRY'

# The pages carry the session cookie of their log-in: so do the requests here
# (a fresh settings file checks sessions in log-only mode).
sid=$(printf '%s' "$login" | NVRWEB_ROOT=$root REQUEST_METHOD=POST PATH_INFO=/1000 CONTENT_TYPE=application/json \
      CONTENT_LENGTH=${#login} $B/nvrweb.cgi | python3 -c 'import sys, json; t = sys.stdin.read(); print(json.loads(t[t.index("{"):]).get("sessionId", ""))' || true)
export NVRWEB_BENCH_COOKIE="sessionId=$sid"

echo "== whole process, paired with a minimal C CGI linked dynamically and statically ($runs runs each; median)"
cd "$B"
NVRWEB_BASELINE_CGI=./minimal_cgi NVRWEB_STATIC_BASELINE_CGI=./minimal_cgi_static ./nvrweb-proc-bench "$root" "$runs" \
    "settings read /6010|./nvrweb.cgi|POST|/6010|{\"chnid\":0}" \
    "log-in /1000|./nvrweb.cgi|POST|/1000|$login" \
    "daemon wait /2001|./nvrweb.cgi|POST|/2001|{}" \
    "unknown route|./nvrweb.cgi|GET|/9999|" \
    "plate import /6184, intake limit|./nvrweb.cgi|POST|/6184|@$plates" \
    "upload 1 MB|./nvrweb-echo.cgi|POST|/1019|@$mp1|$ct" \
    "upload 50 MB|./nvrweb-echo.cgi|POST|/1019|@$mp50|$ct"
echo "(upload throughput: body size / median ms)"

if true; then
    echo
    echo "== daemon round trip"
    ./nvrweb_bench --benchmark_filter="WaitingRoundTrip|FireAndForget" --benchmark_min_time=1 2>/dev/null | grep -E "^(BM_|Benchmark|-)" || true
fi

echo
echo "== recording download /4013 (daemon in the runner; peak memory must not grow with the recording)"
./nvrweb-download-bench ./nvrweb.cgi 100 400 1600

echo
echo "== requests per second through lighttpd (4 clients, 5 s each)"
port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')
cd - >/dev/null
scripts/lighttpd-conf.sh "$root" "$port" "$B/nvrweb.cgi" > "$root/lighttpd.conf"
lighttpd=$(command -v lighttpd || echo /usr/sbin/lighttpd)
"$lighttpd" -D -f "$root/lighttpd.conf" &
pids="$pids $!"
for i in $(seq 1 50); do curl -s -o /dev/null "http://127.0.0.1:$port/html/index.html" && break; sleep 0.1; done
static=$($B/nvrweb-http-bench "$port" 5 4 /html/index.html | cut -d' ' -f1)
settings=$($B/nvrweb-http-bench "$port" 5 4 /cgi-bin/nvrweb.cgi/6010 '{"chnid":0}' | cut -d' ' -f1)
daemon=$($B/nvrweb-http-bench "$port" 5 4 /cgi-bin/nvrweb.cgi/2001 '{}' | cut -d' ' -f1)
printf "%-28s %12s %8s\n" "target" "req/s" "ratio"
printf "%-28s %12s %8s\n" "static file" "$static" "1.00"
printf "%-28s %12s %8s\n" "settings route /6010" "$settings" "$(python3 -c "print(f'{$settings/$static:.2f}')")"
printf "%-28s %12s %8s\n" "daemon route /2001" "$daemon" "$(python3 -c "print(f'{$daemon/$static:.2f}')")"

echo
echo "== in-process micro benchmarks"
$B/nvrweb_bench --benchmark_filter="RouteLookup|Multipart|Schedule|Codec" 2>/dev/null | grep -E "^(BM_|Benchmark|-)"

echo
echo "== plate list of 10,000 entries: import through /6184's handler, read back by plate"
$B/nvrweb_bench --benchmark_filter="PlateList" 2>/dev/null | grep -E "^(BM_|Benchmark|-)"
