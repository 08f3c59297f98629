#!/usr/bin/env bash
# Runs the whole test command (scripts/test.sh) RUNS times (default 5) on a busy machine, as a
# CI machine often is: beside each run both cores are kept busy (stress-ng: two CPU workers and
# one I/O worker) and the share tests run again and again at the same moment, with servers,
# mounts and accounts of their own. Prints, for every test executable, how many runs it failed
# in; the output of each run is kept in build-load/run-N.log. Exits with 1 when any run failed.
#
# Usage: scripts/test-under-load.sh [RUNS]
. "$(dirname "$0")/common.sh"
runs=${1:-5}
install_packages "${BUILD_PACKAGES[@]}" "${TEST_PACKAGES[@]}" "${LOAD_PACKAGES[@]}"
mkdir -p build-load
rm -f build-load/stop
# The test command builds first: the share tests beside it run from that build.
./scripts/test.sh >build-load/run-0.log 2>&1 || true

load_pids=()
start_load() {
    stress-ng --cpu 2 --io 1 --timeout 0 --quiet &
    load_pids+=($!)
    # As CTest runs it (see tests/CMakeLists.txt), but not through CTest, whose logs in build/
    # belong to the run beside it.
    (
        export QT_QPA_PLATFORM=offscreen BREVANT_BIN_DIR="$PWD/build/bin" LC_ALL=C.UTF-8 LANGUAGE=
        export XDG_CONFIG_HOME="$PWD/build-load/config-home"
        while [ ! -e build-load/stop ]; do
            timeout 900 build/tests/shares/test_shares >>build-load/concurrent-shares.log 2>&1 ||
                echo "concurrent share run: failed" >>build-load/concurrent-shares.log
        done
    ) &
    share_loop=$!
}
# The share loop ends after its current run, so its servers and mounts go with it.
stop_load() {
    kill -TERM "${load_pids[@]}" 2>/dev/null || true
    load_pids=()
    if [ -n "${share_loop:-}" ]; then
        touch build-load/stop
        wait "$share_loop" 2>/dev/null || true
        rm -f build-load/stop
        share_loop=
    fi
}
trap stop_load EXIT

declare -A failed
failed_runs=0
for ((run = 1; run <= runs; ++run)); do
    start_load
    log=build-load/run-$run.log
    if ./scripts/test.sh >"$log" 2>&1; then
        echo "run $run: passed"
    else
        failed_runs=$((failed_runs + 1))
        echo "run $run: FAILED (see $log)"
    fi
    stop_load
    # CTest's summary names each failed test: "  7 - test_shares (Failed)".
    while read -r name; do
        failed[$name]=$((${failed[$name]:-0} + 1))
    done < <(sed -n 's/^[[:space:]]*[0-9]\+ - \([^ ]*\) (.*)$/\1/p' "$log")
done

echo
echo "failures per test in $runs runs:"
for test in $(cd build && ctest -N | sed -n 's/^ *Test *#[0-9]*: //p'); do
    printf '  %-16s %d\n' "$test" "${failed[$test]:-0}"
done
[ "$failed_runs" -eq 0 ]
