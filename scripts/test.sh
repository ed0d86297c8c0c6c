#!/usr/bin/env bash
# Every test: set-up, format check, C++ build with warnings as errors, the GoogleTest suite,
# the module installed from source, then the Python suite.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh

echo "== format check"
clang-format --dry-run --Werror $(git ls-files 'src/*.h' 'src/*.cpp' 'tests/cpp/*.h' 'tests/cpp/*.cpp' 'bench/*.cpp')

echo "== C++ build and tests"
cmake -S . -B build/test -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUORLAN_WERROR=ON \
  -DQUORLAN_BUILD_TESTS=ON -DQUORLAN_BUILD_BENCH=ON > /dev/null
cmake --build build/test
ctest --test-dir build/test --output-on-failure -j 2

echo "== Python module and tests"
python3 -m pip install --quiet --disable-pip-version-check --root-user-action=ignore --force-reinstall --no-deps .
python3 -m pytest -q tests/python
