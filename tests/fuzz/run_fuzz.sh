#!/usr/bin/env bash
# Builds the catalogue fuzzer with clang and runs it for a fixed number of inputs.
# Usage: run_fuzz.sh CLANG++ SOURCE_DIR WORK_DIR RUNS
# Exit status 77 (skipped) when clang or its libFuzzer runtime is missing.
set -uo pipefail

cxx=$1
source_dir=$2
work=$3
runs=$4
here=$(cd "$(dirname "$0")" && pwd)

if [ -z "$cxx" ] || ! command -v "$cxx" >/dev/null 2>&1; then
    echo "catalogue fuzz: skipped, clang++ not found"
    exit 77
fi
mkdir -p "$work"
probe=$work/probe.cpp
echo 'extern "C" int LLVMFuzzerTestOneInput(const unsigned char *, unsigned long) { return 0; }' >"$probe"
if ! "$cxx" -fsanitize=fuzzer,address "$probe" -o "$work/probe" >/dev/null 2>&1; then
    echo "catalogue fuzz: skipped, $cxx cannot link libFuzzer (package libclang-rt-14-dev)"
    exit 77
fi

generator=()
command -v ninja >/dev/null 2>&1 && generator=(-G Ninja)
if ! cmake -S "$here/clang" -B "$work/build" "${generator[@]}" -DCMAKE_BUILD_TYPE=Debug \
        -DCMAKE_CXX_COMPILER="$cxx" -DZORBEL_SOURCE_DIR="$source_dir" >"$work/configure.log" 2>&1; then
    cat "$work/configure.log"
    echo "catalogue fuzz: the fuzzer could not be configured"
    exit 1
fi
if ! cmake --build "$work/build" >"$work/build.log" 2>&1; then
    cat "$work/build.log"
    echo "catalogue fuzz: the fuzzer could not be built"
    exit 1
fi

# Inputs the fuzzer finds go to a scratch corpus; the seeds in the tree stay as they are.
rm -rf "$work/corpus" "$work/artifacts"
mkdir -p "$work/corpus" "$work/artifacts"
# Leaks are real faults here too. LeakSanitizer looks once, at exit, over everything the
# run left unreachable (Qt's own leaks are listed in lsan.supp). libFuzzer's per-input
# leak hunt stays off: Qt's parser makes many inputs look leaky, and each look is a full
# heap scan that multiplied the run time by ten.
ASAN_OPTIONS=detect_leaks=1 LSAN_OPTIONS=suppressions="$here/lsan.supp" "$work/build/catalog_fuzz" "$work/corpus" "$here/corpus" \
    -detect_leaks=0 -dict="$here/catalog.dict" -runs="$runs" -max_len=4096 -timeout=20 -rss_limit_mb=2048 \
    -print_final_stats=1 -artifact_prefix="$work/artifacts/" >"$work/fuzz.log" 2>&1
status=$?

done_runs=$(sed -n 's/^Done \([0-9]*\) runs.*/\1/p' "$work/fuzz.log" | tail -n 1)
if [ $status -eq 0 ] && [ "${done_runs:-0}" -ge "$runs" ]; then
    grep -E '^(INFO: Seed|Done|stat::number_of_executed_units|stat::peak_rss_mb)' "$work/fuzz.log"
    echo "catalogue fuzz: $done_runs runs, 0 crashes"
    exit 0
fi
# The report itself, not the fuzzer's progress lines around it.
report=$(sed -n '/==ERROR:\|invariant broken\|runtime error:\|ALARM: \|out-of-memory/,$p' "$work/fuzz.log" |
    grep -v -E '^#[0-9]+[[:space:]]+(NEW|REDUCE|pulse)' | head -n 50)
if [ -n "$report" ]; then echo "$report"; else tail -n 50 "$work/fuzz.log"; fi
executed=$(sed -n 's/^stat::number_of_executed_units: *\([0-9]*\).*/\1/p' "$work/fuzz.log" | tail -n 1)
echo "catalogue fuzz: ${executed:-?} runs, then a fault (fuzzer exit status $status); reproducer, if any, in $work/artifacts:"
ls -l "$work/artifacts"
exit 1
