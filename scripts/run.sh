#!/usr/bin/env bash
# Installs what is missing, builds the tool and starts it.
#   scripts/run.sh            start the tool in the current directory
#   scripts/run.sh --demo     start simulated displays and the tool in a demo directory
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"

demo=0
for arg in "$@"; do
  case "$arg" in
    --demo) demo=1 ;;
    -h|--help)
      sed -n '2,5p' "$0" | sed 's/^# \{0,1\}//'
      exit 0 ;;
    *) echo "run.sh: unknown option: $arg" >&2; exit 2 ;;
  esac
done

bash "$root/scripts/deps.sh"
cmake -S "$root" -B "$root/build/release" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DDRAVIK_BUILD_TESTS=OFF -DDRAVIK_BUILD_BENCH=OFF >/dev/null
cmake --build "$root/build/release" -j "$(nproc)" --target dravik-command-tool dravik-display-sim dravikctl

tool="$root/build/release/src/app/dravik-command-tool"
if [ "$demo" -eq 1 ]; then
  exec bash "$root/scripts/demo.sh" "$root/build/release"
fi
exec "$tool"
