#!/bin/sh
# Installs the Debian packages a job needs, when they are missing.
# Usage: scripts/deps.sh [build|test|dev|arm|fuzz|bench]...
set -eu

pkgs="build-essential cmake pkg-config libjson-c-dev libsqlite3-dev libssl-dev"
for job in "$@"; do
    case "$job" in
    build) ;;
    test) pkgs="$pkgs libgtest-dev libgmock-dev lighttpd curl python3 ffmpeg openssl unzip chromium" ;; # ffmpeg: ffprobe reads the AVI downloads; openssl: reads the certificates; unzip: OEM packages; chromium: the console's browser test (headless)
    dev) pkgs="$pkgs lighttpd lighttpd-mod-openssl curl openssl python3 unzip tcpdump" ;; # TLS module and tool: HTTPS by hand (README); python3: the configuration tool of tools/devbin; tcpdump: the packet capture (loopback only)
    arm) pkgs="$pkgs g++-arm-linux-gnueabihf qemu-user libjson-c-dev:armhf libsqlite3-dev:armhf libssl-dev:armhf libstdc++6:armhf" ;;
    fuzz) pkgs="$pkgs clang libclang-rt-14-dev" ;;
    bench) pkgs="$pkgs libbenchmark-dev lighttpd curl wrk hyperfine valgrind" ;;
    *) echo "deps.sh: unknown job $job" >&2; exit 2 ;;
    esac
done

missing=""
for p in $pkgs; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
done
[ -z "$missing" ] && exit 0

if [ "$(id -u)" != 0 ]; then
    echo "missing Debian packages:$missing" >&2
    case "$missing" in
    *:armhf*) echo "add the armhf architecture first: sudo dpkg --add-architecture armhf && sudo apt-get update" >&2 ;;
    esac
    echo "install them with: sudo apt-get install$missing" >&2
    exit 1
fi
case "$missing" in
*:armhf*) dpkg --print-foreign-architectures | grep -qx armhf || dpkg --add-architecture armhf ;;
esac
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq --no-install-recommends $missing >/dev/null
