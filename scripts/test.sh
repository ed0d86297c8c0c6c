#!/usr/bin/env bash
# Every test: set-up, format check, C++ build with warnings as errors, the GoogleTest suite (also
# under ASan and UBSan), a short fuzzing run of every target, the manylinux wheel (built with
# zig, checked by abi3audit and auditwheel) installed into .venv, its type stubs checked by
# mypy's stubtest, then the Python suite against it.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh --tests
py=.venv/bin/python

echo "== format check"
mapfile -t sources < <(find src tests/cpp bench fuzz -name '*.h' -o -name '*.cpp' | sort)
if [ "${#sources[@]}" -lt 10 ]; then
  echo "format check: found ${#sources[@]} C++ files under src, tests/cpp, bench and fuzz;" \
    "expected the project's sources" >&2
  exit 1
fi
clang-format --dry-run --Werror "${sources[@]}"
echo "${#sources[@]} files formatted"

echo "== C++ build and tests"
cmake -S . -B build/test -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUORLAN_WERROR=ON \
  -DQUORLAN_BUILD_TESTS=ON -DQUORLAN_BUILD_BENCH=ON -DQUORLAN_BUILD_PYTHON=ON \
  -DPython_EXECUTABLE="$(pwd)/$py" > /dev/null
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

echo "== wheel"
bash scripts/build_wheel.sh
wheel="$(ls dist/quorlan-*manylinux*.whl)"
"$py" -m abi3audit --strict --assume-minimum-abi3 3.9 "$wheel"
"$py" -m auditwheel show "$wheel" | tee build/wheel/auditwheel.txt
# Importable on glibc 2.28 and later at least: the tag auditwheel allows is manylinux_2_28 or older.
tag_glibc="$(grep -o 'manylinux_2_[0-9]*_x86_64' build/wheel/auditwheel.txt | head -n 1 |
             sed 's/manylinux_2_\([0-9]*\)_x86_64/\1/')"
if [ -z "$tag_glibc" ] || [ "$tag_glibc" -gt 28 ]; then
  echo "the wheel needs glibc 2.${tag_glibc:-?}, newer than 2.28" >&2
  exit 1
fi
"$py" -m pip install --quiet --disable-pip-version-check --force-reinstall --no-deps "$wheel"

echo "== type stubs against the installed module"
"$py" -m mypy.stubtest quorlan

echo "== Python tests"
"$py" -m pytest -q tests/python
