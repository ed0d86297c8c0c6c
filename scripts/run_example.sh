#!/usr/bin/env bash
# Installs what is needed, builds and installs the module, and runs the main job on the
# bundled example context (output in out/).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
python3 -m pip install --quiet --disable-pip-version-check --root-user-action=ignore .
python3 examples/main.py examples/polygons.cxt out
