#!/usr/bin/env bash
# Every test: set-up, format check, C++ build with warnings as errors, the GoogleTest suite (also
# under ASan and UBSan), a short fuzzing run of every target, the module installed from source,
# then the Python suite.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh

echo "== format check"
clang-format --dry-run --Werror $(git ls-files 'src/*.h' 'src/*.cpp' 'tests/cpp/*.h' 'tests/cpp/*.cpp' 'bench/*.cpp')

echo "== C++ build and tests"
cmake -S . -B build/test -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUORLAN_WERROR=ON \
  -DQUORLAN_BUILD_TESTS=ON -DQUORLAN_BUILD_BENCH=ON -DQUORLAN_BUILD_PYTHON=ON > /dev/null
cmake --build build/test
ctest --test-dir build/test --output-on-failure -j 2

echo "== C++ tests under AddressSanitizer and UndefinedBehaviorSanitizer"
cmake -S . -B build/sanitize -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUORLAN_SANITIZE=ON \
  -DQUORLAN_WERROR=ON -DQUORLAN_BUILD_TESTS=ON > /dev/null
cmake --build build/sanitize --target quorlan_tests
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 ./build/sanitize/tests/cpp/quorlan_tests \
  --gtest_brief=1

echo "== fuzzing smoke run"
bash scripts/fuzz.sh 20

echo "== Python module and tests"
python3 -m pip install --quiet --disable-pip-version-check --root-user-action=ignore --force-reinstall --no-deps .
python3 -m pytest -q tests/python
