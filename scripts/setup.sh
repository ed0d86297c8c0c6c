#!/usr/bin/env bash
# Installs everything quorlan needs on a fresh Debian machine: compilers, CMake, the parser
# libraries, GoogleTest, and the Python tools for building and testing. Safe to run again.
set -euo pipefail
cd "$(dirname "$0")/.."

DEBIAN_PACKAGES=(
  g++ make cmake ninja-build pkg-config
  libpugixml-dev nlohmann-json3-dev libcsv-dev libutf8proc-dev
  libgtest-dev clang-format
  chromium fonts-dejavu-core
  clang-14 libclang-rt-14-dev
)

missing=()
for p in "${DEBIAN_PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed" || missing+=("$p")
done
if [ "${#missing[@]}" -gt 0 ]; then
  SUDO=""; [ "$(id -u)" -eq 0 ] || SUDO="sudo"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

python3 -m pip install --quiet --disable-pip-version-check --root-user-action=ignore -r scripts/requirements-dev.txt
