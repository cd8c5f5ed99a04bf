#!/bin/sh
# Prints the stripped sizes of the ARM programs as they would go on the
# device. Build them first with scripts/arm.sh build.
# Usage: bench/size_check.sh [ARM build directory, default build-arm]
set -eu
cd "$(dirname "$0")/.."
dir=${1:-${NVRWEB_ARM_DIR:-build-arm}}
strip=arm-linux-gnueabihf-strip

[ -f "$dir/nvrweb.cgi" ] || { echo "size_check.sh: no $dir/nvrweb.cgi: run scripts/arm.sh build" >&2; exit 1; }
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

printf '%-18s %10s %10s\n' program bytes unstripped
for p in nvrweb.cgi nvrweb-sim nvrweb-settings; do
    [ -f "$dir/$p" ] || continue
    "$strip" -o "$tmp/$p" "$dir/$p"
    printf '%-18s %10s %10s\n' "$p" "$(stat -c %s "$tmp/$p")" "$(stat -c %s "$dir/$p")"
done
