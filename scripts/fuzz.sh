#!/bin/sh
# Builds the libFuzzer targets of fuzz/ (clang, AddressSanitizer and
# UndefinedBehaviorSanitizer) in build-fuzz/ and runs each for a bounded time
# on its seed corpus and dictionary. Exits non-zero on any finding; the input
# that caused it is kept as build-fuzz/findings/<target>-crash-*.
#
#   scripts/fuzz.sh                 every target, NVRWEB_FUZZ_SECONDS each (25)
#   scripts/fuzz.sh fuzz_multipart  only the named targets
#
# The corpus grows in build-fuzz/corpus/<target> and is reused by later runs.
set -eu
cd "$(dirname "$0")/.."
scripts/deps.sh fuzz
seconds=${NVRWEB_FUZZ_SECONDS:-25}
build=build-fuzz

CC=clang CXX=clang++ cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DNVRWEB_FUZZ=ON -DNVRWEB_TESTS=OFF -DNVRWEB_STATIC_DEPS=OFF >/dev/null
cmake --build "$build" -j2 >/dev/null

# The JSON keys the handlers read, from their policy tables and lookups.
keys=$(grep -rhoE '\{[[:space:]]*"[A-Za-z][A-Za-z0-9_.-]{0,63}"[[:space:]]*,|json_object_object_get(_ex)?[[:space:]]*\([^,;()]+,[[:space:]]*"[A-Za-z0-9_.-]{1,64}"' \
    modules common 2>/dev/null | sed -E 's/.*"([^"]+)".*/\1/' | sort -u)

# Seeds from the tests' requests, beside the ones kept in fuzz/corpus/.
rm -rf "$build/seeds"
python3 fuzz/make_seeds.py "$build/seeds" >/dev/null

targets=${*:-$(cd "$build/fuzz" && ls fuzz_* 2>/dev/null | grep -v '\.a$' || true)}
[ -n "$targets" ] || { echo "fuzz.sh: no targets built" >&2; exit 1; }
mkdir -p "$build/findings" "$build/corpus"
# A small quarantine keeps memory flat over millions of runs; leaks do not
# count (one process per request); 16 MiB daemon payloads may fail to allocate.
export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}quarantine_size_mb=16:detect_leaks=0:allocator_may_return_null=1"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:+$UBSAN_OPTIONS:}print_stacktrace=1:halt_on_error=1"
total=0
failed=""
for t in $targets; do
    short=${t#fuzz_}
    corpus="$build/corpus/$t"
    mkdir -p "$corpus"
    for seeds in "fuzz/corpus/$short" "$build/seeds/$short"; do
        [ -d "$seeds" ] && cp -n "$seeds"/* "$corpus"/ 2>/dev/null || true
    done
    dict="$build/$t.dict"
    cat fuzz/dict/common.dict > "$dict"
    [ -f "fuzz/dict/$short.dict" ] && cat "fuzz/dict/$short.dict" >> "$dict"
    for k in $keys; do printf '"\\"%s\\":"\n' "$k" >> "$dict"; done
    log="$build/$t.log"
    echo "== $t (${seconds}s)"
    if "$build/fuzz/$t" -max_total_time="$seconds" -timeout=20 -rss_limit_mb=2048 \
        -print_final_stats=1 -dict="$dict" -artifact_prefix="$build/findings/$t-" \
        "$corpus" >"$log" 2>&1; then
        runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
        echo "   $runs runs, corpus $(ls "$corpus" | wc -l) inputs"
        total=$((total + ${runs:-0}))
    else
        echo "   FINDING in $t:"
        grep -E 'FINDING|ERROR|SUMMARY|runtime error|Test unit written' "$log" | head -20
        failed="$failed $t"
    fi
done
echo "== fuzzing: $total runs in total"
if [ -n "$failed" ]; then
    echo "fuzz.sh: findings in:$failed (logs in $build/*.log)" >&2
    exit 1
fi
