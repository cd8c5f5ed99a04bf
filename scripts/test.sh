#!/bin/sh
# Builds and runs the whole test suite: a normal build, then the same suite
# under AddressSanitizer and UndefinedBehaviorSanitizer. CI runs exactly this.
set -eu
cd "$(dirname "$0")/.."
scripts/deps.sh test
jobs=$(nproc 2>/dev/null || echo 2)

echo "== normal build"
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$jobs"
(cd build && ctest --output-on-failure -j"$jobs")

if [ "${NVRWEB_SKIP_ARM:-0}" != 1 ]; then
    echo "== ARM build and CGI-level tests through qemu-arm (NVRWEB_SKIP_ARM=1 skips)"
    scripts/arm.sh build
    scripts/arm.sh test
fi

echo "== AddressSanitizer + UndefinedBehaviorSanitizer build"
cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DNVRWEB_SANITIZE=ON >/dev/null
cmake --build build-asan -j"$jobs"
export ASAN_OPTIONS=detect_leaks=0:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
(cd build-asan && ctest --output-on-failure -j"$jobs")

echo "== all tests passed"
