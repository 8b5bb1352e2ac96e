#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the tool need, when any is missing.
# Sourced by run.sh and test.sh; safe to run again (does nothing when all are present).
set -euo pipefail

DRAVIK_PACKAGES=(
  cmake ninja-build g++ pkg-config
  qt6-base-dev qt6-serialport-dev qt6-qpa-plugins
  libgtest-dev libgmock-dev libbenchmark-dev
  fonts-dejavu-core iproute2 python3
  clang libclang-rt-14-dev
)

dravik_missing_packages() {
  local missing=()
  local p
  for p in "$@"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
      missing+=("$p")
    fi
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
  $sudo apt-get install -y -qq $missing
}

dravik_install_packages "${DRAVIK_PACKAGES[@]}" "$@"
