#!/usr/bin/env bash
# Installs what is missing, builds the tool and starts it.
#   scripts/run.sh                      start the tool in the current directory
#   scripts/run.sh --demo               start simulated displays and the tool in a demo directory
#   scripts/run.sh --build-type TYPE    RelWithDebInfo (default), Release or Debug
#   scripts/run.sh ... -- OPTIONS       pass OPTIONS to the tool (dravik-command-tool --help)
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"

demo=0
build_type="${DRAVIK_BUILD_TYPE:-RelWithDebInfo}"
tool_args=()
while [ $# -gt 0 ]; do
  case "$1" in
    --demo) demo=1 ;;
    --build-type)
      [ $# -ge 2 ] || { echo "run.sh: --build-type needs a value" >&2; exit 2; }
      build_type="$2"; shift ;;
    --) shift; tool_args=("$@"); break ;;
    -h|--help)
      sed -n '2,6p' "$0" | sed 's/^# \{0,1\}//'
      exit 0 ;;
    *) echo "run.sh: unknown option: $1" >&2; exit 2 ;;
  esac
  shift
done
case "$build_type" in
  RelWithDebInfo) build="$root/build/release" ;;
  Release) build="$root/build/release-o3" ;;
  Debug) build="$root/build/debug" ;;
  *) echo "run.sh: unknown build type: $build_type (RelWithDebInfo, Release or Debug)" >&2; exit 2 ;;
esac

bash "$root/scripts/deps.sh"

tool="$build/src/app/dravik-command-tool"
first=0
[ -x "$tool" ] || first=1
if [ "$first" -eq 1 ]; then
  echo "First run: building the tool, the simulated display and dravikctl ($build_type)."
  echo "This takes 2 to 3 minutes on an idle 2-core machine, longer while other builds run; later runs start in a second or two."
fi

launcher=()
if command -v ccache >/dev/null 2>&1; then
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
  export CCACHE_BASEDIR="${CCACHE_BASEDIR:-$root}"
fi
# Configured once: Ninja runs CMake again by itself when a CMakeLists.txt changes.
if [ ! -f "$build/build.ninja" ] || ! grep -qx "CMAKE_BUILD_TYPE:STRING=$build_type" "$build/CMakeCache.txt" 2>/dev/null; then
  cmake -S "$root" -B "$build" -G Ninja --log-level=WARNING -DCMAKE_BUILD_TYPE="$build_type" \
    "${launcher[@]}" -DDRAVIK_BUILD_TESTS=OFF -DDRAVIK_BUILD_BENCH=OFF
fi
# One build at a time in a build folder (the demo builds dravikctl in the background).
mkdir -p "$build"
lock="$build/.run-build.lock"
sim="$build/tools/display-sim/dravik-display-sim"
# Builds the given targets under the lock. A start that finds a build still running here (the
# background dravikctl build of a first demo) does not wait for it when the tool and the
# simulated display are already built: it starts them as they are.
build_targets() {
  local status=0
  flock -E 75 -w 1 "$lock" cmake --build "$build" -j "$(nproc)" --target "$@" || status=$?
  if [ "$status" -eq 75 ]; then
    if [ -x "$tool" ] && [ -x "$sim" ]; then
      echo "A build is still running in $build (dravikctl, in the background); starting the tool as last built."
      return 0
    fi
    echo "Waiting for the build that is still running in $build ..."
    flock "$lock" cmake --build "$build" -j "$(nproc)" --target "$@"
    return
  fi
  return "$status"
}
if [ "$demo" -eq 1 ] && [ ! -x "$build/tools/dravikctl/dravikctl" ]; then
  # The demo window needs only the tool and the simulated display; dravikctl follows in the
  # background at low priority while the window is open.
  build_targets dravik-command-tool dravik-display-sim
  if flock -n "$lock" true; then
    echo "dravikctl is being built in the background (log: $build/dravikctl-build.log)."
    nohup flock "$lock" nice -n 19 cmake --build "$build" -j "$(nproc)" --target dravikctl \
      >"$build/dravikctl-build.log" 2>&1 </dev/null &
  fi
else
  build_targets dravik-command-tool dravik-display-sim dravikctl
fi
if [ "$first" -eq 1 ]; then
  echo "Build done. From now on scripts/run.sh starts the tool in seconds."
fi

if [ "$demo" -eq 1 ]; then
  exec bash "$root/scripts/demo.sh" "$build" "${tool_args[@]}"
fi
exec "$tool" "${tool_args[@]}"
