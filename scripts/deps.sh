#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the tool need, when any is missing.
# Called by run.sh (what the tool needs to build and run) and by test.sh with --tests (also what
# the tests, the install checks and the fuzzers need); safe to run again (does nothing when all
# are present).
set -euo pipefail

DRAVIK_PACKAGES=(
  cmake ninja-build g++ pkg-config ccache
  qt6-base-dev qt6-serialport-dev qt6-qpa-plugins
  qt6-httpserver-dev qt6-websockets-dev libyaml-cpp-dev prometheus-cpp-dev libcrypt-dev
  fonts-dejavu-core python3
)
DRAVIK_TEST_PACKAGES=(
  libgtest-dev libgmock-dev libbenchmark-dev iproute2
  desktop-file-utils appstream dpkg-dev
  clang libclang-rt-14-dev
  prometheus lintian openssl
)

dravik_missing_packages() {
  # One query for all: a package dpkg does not know is not listed at all.
  local installed
  installed=$( (dpkg-query -W -f='${Package} ${Status}\n' "$@" 2>/dev/null || true) | awk '/ install ok installed$/ {print $1}')
  local missing=()
  local p
  for p in "$@"; do
    grep -qxF -- "$p" <<<"$installed" || missing+=("$p")
  done
  echo "${missing[@]:-}"
}

dravik_install_packages() {
  local missing
  missing=$(dravik_missing_packages "$@")
  [ -z "$missing" ] && return 0
  local sudo=""
  if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
  echo "Installing missing packages: $missing"
  export DEBIAN_FRONTEND=noninteractive
  $sudo apt-get update -qq
  # shellcheck disable=SC2086
  $sudo apt-get install -y -qq ${DRAVIK_APT_OPTIONS:-} $missing
}

if [ "${1:-}" = "--tests" ]; then
  shift
  dravik_install_packages "${DRAVIK_PACKAGES[@]}" "${DRAVIK_TEST_PACKAGES[@]}" "$@"
else
  # The tool alone: without the recommended extras (a GTK platform theme with GTK itself, Qt's
  # translations, OpenGL headers), which the tool does not use and which add some 70 MB for a
  # fresh machine to unpack before the first build.
  DRAVIK_APT_OPTIONS="--no-install-recommends" dravik_install_packages "${DRAVIK_PACKAGES[@]}" "$@"
fi
