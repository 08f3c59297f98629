#!/usr/bin/env bash
# Builds the fuzz targets (clang, libFuzzer, AddressSanitizer, UndefinedBehaviorSanitizer)
# in build-fuzz and runs each from its seed corpus in tests/fuzz/<target>.
#
#   scripts/fuzz.sh [SECONDS [TARGET...]]    time per target (default 25), all targets
#   FUZZ_RUNS=1000000 scripts/fuzz.sh 0 ini_read   a fixed number of executions instead
#
# New inputs go to build-fuzz/corpus/<target>; a crash, leak or failed check stops the run,
# keeps the input in build-fuzz/artifacts and makes the script fail.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

seconds=${1:-25}
shift || true
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(ini_read ini_write scrivo_metadata reservation_record)

cmake -S fuzz -B build-fuzz -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build-fuzz -j2 >/dev/null

mkdir -p build-fuzz/artifacts
for target in "${targets[@]}"; do
    corpus=build-fuzz/corpus/$target
    mkdir -p "$corpus"
    limits=(-max_total_time="$seconds")
    [ -z "${FUZZ_RUNS:-}" ] || limits=(-runs="$FUZZ_RUNS")
    echo "fuzz: $target ${limits[*]}"
    if ! build-fuzz/fuzz_"$target" "${limits[@]}" -timeout=10 -rss_limit_mb=2048 \
        -print_final_stats=1 -artifact_prefix=build-fuzz/artifacts/"$target"- \
        "$corpus" tests/fuzz/"$target" >build-fuzz/"$target".log 2>&1; then
        tail -n 60 build-fuzz/"$target".log >&2
        echo "fuzz: $target failed, see build-fuzz/$target.log and build-fuzz/artifacts" >&2
        exit 1
    fi
    grep -E '^stat::(number_of_executed_units|peak_rss_mb)' build-fuzz/"$target".log |
        sed "s/^/fuzz: $target /"
done
