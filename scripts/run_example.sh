#!/usr/bin/env bash
# Installs what is needed, builds the module into the project's virtual environment (.venv) and
# runs the main job on the bundled example context (output in out/). Prints one line per step
# and the build's progress.
set -euo pipefail
cd "$(dirname "$0")/.."
step() { echo "== $*"; }
started=$SECONDS
step "set-up: compiler, CMake, Python headers and parser libraries; Python tools in .venv"
bash scripts/setup.sh
step "building the module and installing it into .venv (a minute or two)"
# pip's own chatter is left out; the build system's steps and the compiler's progress are shown.
.venv/bin/python -m pip install --verbose --disable-pip-version-check . 2>&1 |
  grep --line-buffered -E '^ *(\*\*\* |\[[0-9]+/[0-9]+\] |-- quorlan: |Successfully installed|ERROR|error)' ||
  true
test "${PIPESTATUS[0]}" -eq 0
step "running examples/main.py on examples/polygons.cxt"
.venv/bin/python examples/main.py examples/polygons.cxt out
step "done in $((SECONDS - started)) s: out/polygons.svg and out/polygons.html"
