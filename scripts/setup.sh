#!/usr/bin/env bash
# Installs what quorlan needs on a Debian or Ubuntu machine: the compiler, CMake, the Python
# headers and the parser libraries from the system's packages, and the Python tools into a
# virtual environment of the project's own (.venv), never into the system interpreter.
#   bash scripts/setup.sh           # what building and using the module needs
#   bash scripts/setup.sh --tests   # also GoogleTest, the newest clang the release has with its
#                                   # fuzzing and sanitizer runtime, a headless browser and the
#                                   # Python test tools (clang-format among them)
# Safe to run again: what is there already is left alone. Versioned packages are chosen from
# what the release provides, newest first.
set -euo pipefail
cd "$(dirname "$0")/.."
tests=0
[ "${1:-}" = "--tests" ] && tests=1
step() { echo "-- setup: $*"; }

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
updated=0
update_lists() {
  if [ "$updated" = 0 ]; then
    step "reading the package lists of this release"
    $sudo apt-get update -qq
    updated=1
  fi
}
# grep reads all its input: with pipefail, -q would end the pipe early and fail it at random.
available() { apt-cache show "$1" 2>/dev/null | grep "^Package: $1\$" > /dev/null; }
installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep "ok installed" > /dev/null; }

packages=(ca-certificates g++ make cmake ninja-build pkg-config
          python3 python3-dev python3-venv python3-pip
          libutf8proc-dev libcsv-dev libpugixml-dev nlohmann-json3-dev)
if [ "$tests" = 1 ]; then
  packages+=(git libgtest-dev dpkg-dev fonts-dejavu-core libcairo2)
  # The newest clang with its libFuzzer and sanitizer runtime (libclang-rt-N-dev; Ubuntu 22.04
  # ships it in libclang-common-N-dev). One already installed with its runtime is kept.
  clang=""
  for c in $(ls /usr/bin/clang++-[0-9]* 2>/dev/null | sed 's/.*-//' | sort -rn); do
    if installed "libclang-rt-$c-dev" || installed "libclang-common-$c-dev"; then
      clang="$c"
      break
    fi
  done
  if [ -z "$clang" ]; then
    update_lists
    versions="$(apt-cache pkgnames clang- | grep -E '^clang-[0-9]+$' | sed 's/clang-//' | sort -rn)"
    # The runtime's own package where the release has one; only a release that has none for
    # any version (Ubuntu 22.04) ships it in libclang-common-N-dev.
    for runtime in libclang-rt libclang-common; do
      for c in $versions; do
        if available "$runtime-$c-dev"; then
          packages+=("clang-$c" "$runtime-$c-dev")
          clang="$c"
          break 2
        fi
      done
    done
    [ -n "$clang" ] || { echo "setup: this release offers no clang with a fuzzing runtime" >&2; exit 1; }
  fi
  # Debian's browser; Ubuntu ships only a snap stub, and the drawing test skips without one.
  if available chromium; then packages+=(chromium); fi
fi

missing=()
for p in "${packages[@]}"; do installed "$p" || missing+=("$p"); done
if [ "${#missing[@]}" -gt 0 ]; then
  update_lists
  step "installing ${missing[*]}"
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends \
    "${missing[@]}" > /dev/null
fi

# The floor the sources are written for.
gcc_major="$(g++ -dumpversion | cut -d. -f1)"
if [ "$gcc_major" -lt 11 ]; then
  echo "setup: quorlan needs GCC 11 or later (or Clang 14 or later); this machine's g++ is" \
    "$(g++ -dumpversion). Debian 12, Ubuntu 22.04 and later releases have one." >&2
  exit 1
fi

# The project's interpreter: the first python3 on PATH, inside .venv.
[ -x .venv/bin/python ] || { step "creating .venv"; python3 -m venv .venv; }
pip=(.venv/bin/python -m pip install --quiet --disable-pip-version-check)
step "installing the Python tools into .venv"
"${pip[@]}" --upgrade pip
if [ "$tests" = 1 ]; then
  "${pip[@]}" -r scripts/requirements-dev.txt
else
  "${pip[@]}" -r scripts/requirements.txt
fi
