#!/usr/bin/env bash
# The naming style and the function length of .clang-tidy, checked on every source under src/
# (the module's too), with the clang-tidy pinned in scripts/requirements-dev.txt.
#   bash scripts/lint.sh
set -euo pipefail
cd "$(dirname "$0")/.."
py="$(pwd)/.venv/bin/python"
# Configuring alone writes the compile commands; nothing is built.
cmake -S . -B build/lint -G Ninja -DCMAKE_EXPORT_COMPILE_COMMANDS=ON -DQUORLAN_BUILD_PYTHON=ON \
  -DQUORLAN_BUILD_TESTS=OFF -DPython_EXECUTABLE="$py" > /dev/null
mapfile -t sources < <(find src -name '*.cpp' | sort)
printf '%s\n' "${sources[@]}" |
  xargs -P "$(nproc)" -n 4 "$(pwd)/.venv/bin/clang-tidy" -p build/lint --quiet 2> build/lint/stderr.txt
echo "${#sources[@]} sources and their headers follow the naming style and function length ($(
  "$(pwd)/.venv/bin/clang-tidy" --version | grep -o 'LLVM version [0-9.]*'))"
