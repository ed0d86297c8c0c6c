#!/usr/bin/env bash
# Installs what is needed, builds the module into the project's virtual environment (.venv) and
# runs the main job on the bundled example context (output in out/).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
.venv/bin/python -m pip install --quiet --disable-pip-version-check .
.venv/bin/python examples/main.py examples/polygons.cxt out
