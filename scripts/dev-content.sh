#!/bin/sh
# Installs the sample content of the development device into a device root:
# files the device has in its flash but that no request creates. Idempotent:
# a file already present (for example one changed through the web pages) is
# kept. Usage: scripts/dev-content.sh DEVICE_ROOT
set -eu
root=${1:?usage: scripts/dev-content.sh DEVICE_ROOT}
src=$(cd "$(dirname "$0")/../tools/devcontent" && pwd)

# install_missing SOURCE DEVICE_PATH: copies when the device file is missing.
install_missing() {
    dest="$root$2"
    [ -e "$dest" ] && return 0
    mkdir -p "$(dirname "$dest")"
    cp "$1" "$dest"
    echo "dev-content: installed $2"
}

# Language list and language files of the web pages (/json, /1001).
for f in "$src"/webfile/json/*.json; do
    install_missing "$f" "/opt/app/www/webfile/json/$(basename "$f")"
done
