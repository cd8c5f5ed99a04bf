#!/bin/sh
# Builds nvrweb and starts a local device on 127.0.0.1:8080: lighttpd serving
# nvrweb.cgi at /cgi-bin/nvrweb.cgi/<route> and the request console at "/", a
# device root in ./devroot, the daemon simulator and an initialised settings
# database (user admin, password admin, level 0). Ctrl-C stops everything it
# started.
set -eu
cd "$(dirname "$0")/.."
scripts/deps.sh dev
port=${NVRWEB_PORT:-8080}
jobs=$(nproc 2>/dev/null || echo 2)

cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$jobs" --target nvrweb.cgi $( [ -f tools/sim/CMakeLists.txt ] && echo nvrweb-sim ) \
    $( [ -f tools/settings/CMakeLists.txt ] && echo nvrweb-settings )

root=$(pwd)/devroot
mkdir -p "$root/tmp" "$root/mnt/nand/app" "$root/var/run" "$root/var/log" "$root/opt/app/www"
export NVRWEB_ROOT="$root"

if [ -x build/nvrweb-settings ]; then
    build/nvrweb-settings init
    # The dev device enforces sessions: every route but the log-in, the
    # log-out and the language texts needs the "sessionId" cookie.
    build/nvrweb-settings param set session_check 2
    if ! build/nvrweb-settings user list | grep -q '"name": *"admin"'; then
        build/nvrweb-settings user add admin admin 0 >/dev/null
        echo "settings: created user admin (password admin, level 0)"
    fi
fi
[ -x scripts/dev-content.sh ] && scripts/dev-content.sh "$root"
# The request console at "/": its files, and the route catalogue and
# reference page printed by the program just built.
scripts/console-files.sh "$root" build/nvrweb.cgi ||
    echo "console: the route list stays empty until nvrweb.cgi prints its catalogue"

pids=""
stop() {
    trap - INT TERM EXIT
    for p in $pids; do kill "$p" 2>/dev/null || true; done
    wait 2>/dev/null || true
    echo "dev device stopped"
}
trap stop INT TERM EXIT

if [ -x build/nvrweb-sim ]; then
    rm -f "$root/var/run/qxsocket"
    build/nvrweb-sim --log "$root/var/log/sim.jsonl" &
    pids="$pids $!"
    echo "simulator: listening on $root/var/run/qxsocket (log: devroot/var/log/sim.jsonl)"
fi

scripts/lighttpd-conf.sh "$root" "$port" build/nvrweb.cgi > "$root/lighttpd.conf"
lighttpd=$(command -v lighttpd || echo /usr/sbin/lighttpd)
"$lighttpd" -D -f "$root/lighttpd.conf" &
pids="$pids $!"

base="http://127.0.0.1:$port/cgi-bin/nvrweb.cgi"
cat <<TXT

nvrweb dev device on http://127.0.0.1:$port/ (device root: devroot/)
Request console: http://127.0.0.1:$port/ (route reference: /routes.html)
Sessions are enforced (session_check 2): log in, then send the session id
as the "sessionId" cookie. Try:
  sid=\$(curl -s -H 'Content-Type: application/json' -d '{"userName":"admin","md5":"21232f297a57a5a743894a0e4a801fc3"}' $base/1000 | sed 's/.*"sessionId":"\([0-9]*\)".*/\1/')
  curl -s '$base/2001'                      # 403 {"status":"NO SESSION"}
  curl -s -b "sessionId=\$sid" '$base/2001'
  curl -s '$base/json?lang=en-US&page=login'
  curl -s -b "sessionId=\$sid" -H 'Content-Type: application/json' -d '{}' $base/6010
Debug log: devroot/mnt/nand/cgi_log.txt. Ctrl-C stops everything.
TXT
wait
