#!/bin/sh
# Writes a lighttpd configuration that serves a device root's web files and
# runs a CGI program at /cgi-bin/nvrweb.cgi/<route>. The request console (the
# files scripts/console-files.sh puts in DEVICE_ROOT/console) answers at "/",
# and the simulator's message log DEVICE_ROOT/var/log/sim.jsonl at
# /sim.jsonl; nothing else outside the web files is served.
# Usage: scripts/lighttpd-conf.sh DEVICE_ROOT PORT CGI_PROGRAM > lighttpd.conf
set -eu
root=$(cd "$1" && pwd)
port=$2
cgi=$(cd "$(dirname "$3")" && pwd)/$(basename "$3")
www="$root/opt/app/www"
console="$root/console"
# The console's files ("" is "/", its index.html), as a pattern of paths.
console_files='|index\.html|console\.css|console\.js|catalogue\.json|routes\.html'
# The device's own tools (configuration export and import) for the CGI.
devbin=$(cd "$(dirname "$0")/../tools/devbin" && pwd)
mkdir -p "$www/cgi-bin" "$www/html" "$root/var/log" "$console"
ln -sf "$cgi" "$www/cgi-bin/nvrweb.cgi"
[ -f "$www/html/index.html" ] || echo '<html><body>nvrweb dev device</body></html>' > "$www/html/index.html"
[ -f "$www/html/home.html" ] || echo '<html><body>nvrweb log-in</body></html>' > "$www/html/home.html"
cat <<CONF
server.modules = ("mod_access", "mod_cgi", "mod_setenv")
server.document-root = "$www"
server.bind = "127.0.0.1"
server.port = $port
server.pid-file = "$root/var/run/lighttpd.pid"
server.errorlog = "$root/var/log/lighttpd-error.log"
server.follow-symlink = "enable"
# The message log grows while it is read: no cached lengths.
server.stat-cache-engine = "disable"
index-file.names = ("index.html")
mimetype.assign = (".html" => "text/html; charset=utf-8", ".js" => "text/javascript; charset=utf-8",
                   ".json" => "application/json", ".css" => "text/css; charset=utf-8",
                   ".jsonl" => "text/plain; charset=utf-8", ".png" => "image/png")
cgi.assign = ("nvrweb.cgi" => "")
setenv.add-environment = ("NVRWEB_ROOT" => "$root", "PATH" => "$devbin:/usr/local/bin:/usr/bin:/bin")

# The request console: only its own files, by name; and the simulator's
# message log. Both are only read.
\$HTTP["url"] =~ "^/($console_files)\$" {
    server.document-root = "$console"
}
\$HTTP["url"] == "/sim.jsonl" {
    server.document-root = "$root/var/log"
}
\$HTTP["url"] =~ "^/($console_files|sim\\.jsonl)\$" {
    \$HTTP["request-method"] !~ "^(GET|HEAD)\$" {
        url.access-deny = ("")
    }
}
CONF
