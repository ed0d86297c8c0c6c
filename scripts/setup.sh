#!/usr/bin/env bash
# Installs what quorlan needs on a Debian or Ubuntu machine: the compiler, CMake, the Python
# headers and the parser libraries from the system's packages, and the Python tools into a
# virtual environment of the project's own (.venv), never into the system interpreter.
#   bash scripts/setup.sh           # what building and using the module needs
#   bash scripts/setup.sh --tests   # also GoogleTest, clang-format, clang and its fuzzing
#                                   # runtime, a headless browser and the Python test tools
# Safe to run again: what is there already is left alone.
set -euo pipefail
cd "$(dirname "$0")/.."
tests=0
[ "${1:-}" = "--tests" ] && tests=1

available() { apt-cache show "$1" 2>/dev/null | grep -q "^Package: $1\$"; }

packages=(ca-certificates g++ make cmake ninja-build pkg-config
          python3 python3-dev python3-venv python3-pip
          libutf8proc-dev libcsv-dev libpugixml-dev nlohmann-json3-dev)
if [ "$tests" = 1 ]; then
  packages+=(git libgtest-dev clang-format dpkg-dev clang-14 fonts-dejavu-core)
  # libFuzzer and the sanitizers' runtime: their package is named differently on Ubuntu 22.04.
  if available libclang-rt-14-dev; then packages+=(libclang-rt-14-dev); else
    packages+=(libclang-common-14-dev); fi
  # Debian's browser; Ubuntu ships only a snap stub, and the drawing test skips without one.
  if available chromium; then packages+=(chromium); fi
fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed" || missing+=("$p")
done
if [ "${#missing[@]}" -gt 0 ]; then
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends \
    "${missing[@]}" > /dev/null
fi

# The project's interpreter: the first python3 on PATH, inside .venv.
[ -x .venv/bin/python ] || python3 -m venv .venv
pip=(.venv/bin/python -m pip install --quiet --disable-pip-version-check)
"${pip[@]}" --upgrade pip
if [ "$tests" = 1 ]; then
  "${pip[@]}" -r scripts/requirements-dev.txt
else
  "${pip[@]}" -r scripts/requirements.txt
fi
