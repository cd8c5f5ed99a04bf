#!/bin/sh
# Writes a lighttpd configuration that serves a device root's web files and
# runs a CGI program at /cgi-bin/nvrweb.cgi/<route>.
# Usage: scripts/lighttpd-conf.sh DEVICE_ROOT PORT CGI_PROGRAM > lighttpd.conf
set -eu
root=$(cd "$1" && pwd)
port=$2
cgi=$(cd "$(dirname "$3")" && pwd)/$(basename "$3")
www="$root/opt/app/www"
# The device's own tools (configuration export and import) for the CGI.
devbin=$(cd "$(dirname "$0")/../tools/devbin" && pwd)
mkdir -p "$www/cgi-bin" "$www/html" "$root/var/log"
ln -sf "$cgi" "$www/cgi-bin/nvrweb.cgi"
[ -f "$www/html/index.html" ] || echo '<html><body>nvrweb dev device</body></html>' > "$www/html/index.html"
[ -f "$www/html/home.html" ] || echo '<html><body>nvrweb log-in</body></html>' > "$www/html/home.html"
cat <<CONF
server.modules = ("mod_cgi", "mod_setenv")
server.document-root = "$www"
server.bind = "127.0.0.1"
server.port = $port
server.pid-file = "$root/var/run/lighttpd.pid"
server.errorlog = "$root/var/log/lighttpd-error.log"
server.follow-symlink = "enable"
index-file.names = ("index.html")
mimetype.assign = (".html" => "text/html", ".js" => "application/javascript",
                   ".json" => "application/json", ".css" => "text/css")
cgi.assign = ("nvrweb.cgi" => "")
setenv.add-environment = ("NVRWEB_ROOT" => "$root", "PATH" => "$devbin:/usr/local/bin:/usr/bin:/bin")
CONF
