#!/usr/bin/env bash
# Installs what is missing, builds twice (plain, and with AddressSanitizer +
# UndefinedBehaviorSanitizer) and runs every test through CTest in both builds.
# Fails on any build or test failure.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"

bash scripts/deps.sh --tests

jobs="${DRAVIK_TEST_JOBS:-8}"
build_jobs="$(nproc)"
export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=0:strict_string_checks=0"
export LSAN_OPTIONS="suppressions=$root/scripts/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"

status=0
for variant in plain asan; do
  dir="build/$variant"
  sanitize=OFF
  [ "$variant" = asan ] && sanitize=ON
  echo "=== $variant build ==="
  cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DDRAVIK_SANITIZE="$sanitize" -DDRAVIK_WERROR=ON >/dev/null
  cmake --build "$dir" -j "$build_jobs"
  echo "=== $variant tests ==="
  if ! ctest --test-dir "$dir" -j "$jobs" --output-on-failure --timeout 600; then
    status=1
  fi
done
# Coverage-guided fuzzing, 30 s per target (skips itself where clang is missing).
bash scripts/fuzz.sh 30 || status=1
exit $status
