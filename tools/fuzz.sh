#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for a set time.
#   tools/fuzz.sh [SECONDS_PER_TARGET] [TARGET...]     (default 60; every target)
# Prints executions, executions per second and findings per target (the
# machine's load lowers the rate: see `uptime`); crashing inputs are kept in
# build-fuzz/artifacts/<target>/ (copy each into fuzz/regressions/<target>/).
set -euo pipefail
cd "$(dirname "$0")/.."
source tools/packages.sh
ensure_packages clang libclang-rt-14-dev

seconds=${1:-60}
shift || true
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(table engine hex extended_table extended_engine scripts)

CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DROMSCRIBER_FUZZ=ON \
  -DROMSCRIBER_TESTS=OFF -DROMSCRIBER_WINDOW=OFF -DROMSCRIBER_DUMP=OFF -DROMSCRIBER_BENCH=OFF >/dev/null
cmake --build build-fuzz -j "$(nproc)" >/dev/null

status=0
for t in "${targets[@]}"; do
  corpus=build-fuzz/corpus/$t
  artifacts=build-fuzz/artifacts/$t
  mkdir -p "$corpus" "$artifacts"
  cp -n fuzz/corpus/"$t"/* "$corpus"/ 2>/dev/null || true
  rm -f "$corpus"/README.md
  log=build-fuzz/$t.log
  inputs=("$corpus")
  [ -d fuzz/regressions/"$t" ] && inputs+=(fuzz/regressions/"$t")
  set +e
  build-fuzz/fuzz/fuzz_$t "${inputs[@]}" -max_total_time="$seconds" -max_len=65536 \
    -rss_limit_mb=4096 -artifact_prefix="$artifacts"/ -print_final_stats=1 >"$log" 2>&1
  rc=$?
  set -e
  execs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$' || echo "?")
  rate=$(grep -o 'stat::average_exec_per_sec: *[0-9]*' "$log" | grep -o '[0-9]*$' || echo "?")
  found=$(find "$artifacts" -type f | wc -l)
  echo "fuzz_$t: ${seconds}s, $execs executions ($rate/s), $found findings (exit $rc)"
  [ "$rc" -eq 0 ] && [ "$found" -eq 0 ] || status=1
done
exit $status
