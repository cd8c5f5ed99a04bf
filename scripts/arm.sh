#!/bin/sh
# The device build: 32-bit ARM Linux, hard-float (arm-linux-gnueabihf).
#
#   scripts/arm.sh build   installs the cross compiler, qemu-arm and the armhf
#                          libraries when missing, and builds the programs
#                          into build-arm/
#   scripts/arm.sh test    runs the CGI-level tests of the native test binary
#                          (build/tests/nvrweb_tests) against the programs of
#                          build-arm/, each started through qemu-arm
#
# Environment:
#   NVRWEB_ARM_DIR      ARM build directory (default build-arm)
#   NVRWEB_NATIVE_DIR   native build directory holding the test binary (default build)
#   NVRWEB_ARM_FILTER   gtest filter of the suites to run (default below)
#   NVRWEB_ARM_JOBS     test processes run side by side (default: number of cores)
#   NVRWEB_ARM_WRAPPER  emulator command (default "qemu-arm -L /": the armhf
#                       multiarch run time; see cmake/arm-linux-gnueabihf.cmake)
set -eu
cd "$(dirname "$0")/.."

arm_dir=${NVRWEB_ARM_DIR:-build-arm}
native_dir=${NVRWEB_NATIVE_DIR:-build}
filter=${NVRWEB_ARM_FILTER:-"Frontend*:Ipc*:Sim*:Settings*:VbHtm*:Motion*"}
jobs=${NVRWEB_ARM_JOBS:-$(nproc 2>/dev/null || echo 2)}
wrapper=${NVRWEB_ARM_WRAPPER:-"qemu-arm -L /"}
# Programs the harness may run; the tools exist once their sources do.
programs="nvrweb.cgi nvrweb-echo.cgi nvrweb-sim nvrweb-settings"

build() {
    scripts/deps.sh arm
    cmake -S . -B "$arm_dir" -DCMAKE_TOOLCHAIN_FILE=cmake/arm-linux-gnueabihf.cmake \
        -DCMAKE_BUILD_TYPE=RelWithDebInfo -DNVRWEB_TESTS=OFF >/dev/null
    cmake --build "$arm_dir" -j"$jobs"
    check_records
}

# Each record header shared with the daemon compiles on its own for ARM, so
# its static_asserts on size and offsets hold there too.
check_records() {
    for h in common/records/*.h; do
        [ -f "$h" ] || continue
        echo "#include \"$h\"" | arm-linux-gnueabihf-g++ -std=c++17 -D_FILE_OFFSET_BITS=64 \
            -Wall -Wextra -fsyntax-only -I. -x c++ - || {
            echo "arm.sh: $h does not hold on ARM" >&2
            exit 1
        }
    done
}

# The emulator runs a threaded ARM program on the armhf libraries (the daemon
# client and the simulator use threads).
check_runtime() {
    probe=$arm_dir/runtime-probe
    cat >"$probe.cpp" <<'EOF_PROBE'
#include <json-c/json.h>
#include <sqlite3.h>
#include <cstdio>
#include <thread>
int main()
{
    int n = 0;
    std::thread t([&n] { n = json_object_get_int(json_object_new_int(sqlite3_libversion_number() > 0)); });
    t.join();
    std::puts(n == 1 ? "ok" : "bad");
    return n == 1 ? 0 : 1;
}
EOF_PROBE
    # shellcheck disable=SC2046
    arm-linux-gnueabihf-g++ -std=c++17 -pthread -o "$probe" "$probe.cpp" $(
        PKG_CONFIG_LIBDIR=/usr/lib/arm-linux-gnueabihf/pkgconfig pkg-config --cflags --libs json-c sqlite3)
    out=$($wrapper "$probe" 2>&1) || true
    if [ "$out" != ok ]; then
        echo "arm.sh: $wrapper cannot run a threaded ARM program: $out" >&2
        exit 1
    fi
}

# Each ARM program must load under the emulator with every library it needs.
check_programs() {
    found=0
    for p in $programs; do
        f=$arm_dir/$p
        [ -f "$f" ] || continue
        libs=$($wrapper -E LD_TRACE_LOADED_OBJECTS=1 "$f" 2>&1) || {
            echo "arm.sh: $f does not start under qemu-arm:" >&2
            echo "$libs" >&2
            exit 1
        }
        if echo "$libs" | grep -q "not found"; then
            echo "arm.sh: $f lacks libraries:" >&2
            echo "$libs" | grep "not found" >&2
            exit 1
        fi
        found=$((found + 1))
    done
    [ "$found" -gt 0 ] || { echo "arm.sh: no programs in $arm_dir: run scripts/arm.sh build" >&2; exit 1; }
}

run_tests() {
    scripts/deps.sh arm test
    # Never test stale programs: bring both builds up to date (quick when they are).
    if [ -f "$arm_dir/CMakeCache.txt" ]; then
        cmake --build "$arm_dir" -j"$jobs" >/dev/null
    else
        build
    fi
    if [ ! -f "$native_dir/CMakeCache.txt" ]; then
        cmake -S . -B "$native_dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
    fi
    cmake --build "$native_dir" -j"$jobs" --target nvrweb_tests >/dev/null
    tests=$native_dir/tests/nvrweb_tests
    check_runtime
    check_programs

    total=$("$tests" --gtest_list_tests --gtest_filter="$filter" | grep -c '^  ') || true
    if [ "$total" -eq 0 ]; then
        echo "arm.sh: no test matches $filter" >&2
        exit 1
    fi
    echo "== $total tests ($filter) against $arm_dir through $wrapper"
    [ "$jobs" -le "$total" ] || jobs=$total

    logs=$(mktemp -d)
    trap 'rm -rf "$logs"' EXIT
    i=0
    while [ "$i" -lt "$jobs" ]; do
        NVRWEB_TEST_BIN_DIR=$(cd "$arm_dir" && pwd) NVRWEB_TEST_WRAPPER=$wrapper \
            GTEST_TOTAL_SHARDS=$jobs GTEST_SHARD_INDEX=$i \
            "$tests" --gtest_filter="$filter" >"$logs/$i" 2>&1 &
        echo $! >"$logs/$i.pid"
        i=$((i + 1))
    done
    failed_runs=0
    i=0
    while [ "$i" -lt "$jobs" ]; do
        wait "$(cat "$logs/$i.pid")" || failed_runs=$((failed_runs + 1))
        i=$((i + 1))
    done

    passed=0
    failed=0
    i=0
    while [ "$i" -lt "$jobs" ]; do
        if grep -q '^\[  FAILED  \]' "$logs/$i" || ! grep -q '^\[  PASSED  \]' "$logs/$i"; then
            cat "$logs/$i"
        fi
        n=$(sed -n 's/^\[  PASSED  \] \([0-9]*\) tests\{0,1\}\.$/\1/p' "$logs/$i")
        passed=$((passed + ${n:-0}))
        n=$(sed -n 's/^\[  FAILED  \] \([0-9]*\) tests\{0,1\}, listed below:$/\1/p' "$logs/$i")
        failed=$((failed + ${n:-0}))
        i=$((i + 1))
    done
    echo "arm: $passed passed, $failed failed"
    if [ "$failed_runs" -ne 0 ] || [ "$passed" -ne "$total" ]; then
        echo "arm.sh: ARM tests failed" >&2
        exit 1
    fi
}

case "${1:-}" in
build) build ;;
test) run_tests ;;
*)
    echo "usage: scripts/arm.sh build|test" >&2
    exit 2
    ;;
esac
