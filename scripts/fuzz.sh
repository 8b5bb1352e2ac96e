#!/usr/bin/env bash
# Builds the libFuzzer targets under fuzz/ with clang into build/fuzz and runs each for
# SECONDS (default 60), starting from its seed corpus in fuzz/corpus/<target>/. Prints per
# target the executions per second and the coverage libFuzzer reached (cov: edges, ft:
# features). Fails on any finding (crash, sanitizer report, failed property, leak, timeout);
# the input that found it is left in build/fuzz/findings/. Skips with a message where clang
# or libFuzzer is missing.
set -uo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"
seconds="${1:-60}"
build="build/fuzz"

if ! command -v clang++ >/dev/null 2>&1 || ! ls /usr/lib/llvm-*/lib/clang/*/lib/linux/libclang_rt.fuzzer-x86_64.a >/dev/null 2>&1; then
  echo "fuzz: skipped (clang or libFuzzer missing: install clang and libclang-rt-dev)"
  exit 0
fi

launcher=()
command -v ccache >/dev/null 2>&1 && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
echo "=== fuzz build ==="
# On a fresh clone build/ does not exist yet and the configure log needs its folder.
mkdir -p "$build"
if ! CC=clang CXX=clang++ cmake -S fuzz -B "$build" -G Ninja "${launcher[@]}" >"$build.configure.log" 2>&1; then
  cat "$build.configure.log"; exit 1
fi
cmake --build "$build" -j "$(nproc)" || exit 1

export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:symbolize=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
mkdir -p "$build/findings" "$build/work"
status=0
summary=()
while read -r target; do
  [ -n "$target" ] || continue
  dict="fuzz/protocol.dict"
  case "$target" in
    fuzz_neighbour|fuzz_ctl_args|fuzz_probe_request) dict="fuzz/text.dict" ;;
    fuzz_exporter_config) dict="fuzz/yaml.dict" ;;
  esac
  work="$build/work/$target"
  mkdir -p "$work"
  log="$build/$target.log"
  echo "=== fuzz $target (${seconds}s) ==="
  # New inputs go to the work folder; the committed seed corpus is only read.
  "$build/$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len=4096 \
      -print_final_stats=1 -dict="$dict" -artifact_prefix="$build/findings/$target-" \
      "$work" "fuzz/corpus/$target" >"$log" 2>&1
  rc=$?
  done_line=$(grep -E '^#[0-9]+[[:space:]]+DONE' "$log" | tail -1)
  cov=$(sed -nE 's/.* cov: ([0-9]+).*/\1/p' <<<"$done_line")
  ft=$(sed -nE 's/.* ft: ([0-9]+).*/\1/p' <<<"$done_line")
  execs=$(sed -nE 's/^stat::number_of_executed_units:[[:space:]]*([0-9]+)/\1/p' "$log" | tail -1)
  rate=$(sed -nE 's/^stat::average_exec_per_sec:[[:space:]]*([0-9]+)/\1/p' "$log" | tail -1)
  if [ $rc -ne 0 ]; then
    status=1
    echo "fuzz: $target FOUND A PROBLEM (exit $rc); log $log, input in $build/findings/"
    grep -E 'ERROR|SUMMARY|property failed|runtime error' "$log" | head -20
    summary+=("$(printf '%-16s FAILED (exit %d)' "$target" "$rc")")
  else
    summary+=("$(printf '%-16s %9s exec/s %11s execs  cov %5s  ft %6s' "$target" "${rate:-?}" "${execs:-?}" "${cov:-?}" "${ft:-?}")")
  fi
done <"$build/targets.txt"

echo "=== fuzz summary (${seconds}s each) ==="
printf '%s\n' "${summary[@]}"
exit $status
