#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, only those not
# yet present; with --fuzz also clang and libFuzzer for the fuzz targets.
set -euo pipefail

packages=(build-essential cmake libboost-dev libboost-program-options-dev libboost-graph-dev
          libgtest-dev libgmp-dev python3 python3-matplotlib
          libboost-mpi-dev openmpi-bin libopenmpi-dev pkg-config coinor-libclp-dev coinor-libcbc-dev
          ccache)
if [ "${1:-}" = "--fuzz" ]; then
  packages+=(clang libclang-rt-14-dev)
fi

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$package")
  fi
done

if [ "${#missing[@]}" -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
