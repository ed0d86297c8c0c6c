#!/usr/bin/env bash
# Builds the libFuzzer targets with clang, AddressSanitizer and UndefinedBehaviorSanitizer and
# runs each for SECONDS seconds (default 20) from the committed seed corpus.
#   bash scripts/fuzz.sh            # the smoke run of the test command
#   bash scripts/fuzz.sh 3600       # a longer campaign; new inputs go to build/fuzz/corpus
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-20}"
# The newest clang installed with its libFuzzer runtime (scripts/setup.sh --tests installs one).
clang=""
for c in $(ls /usr/bin/clang++-[0-9]* 2>/dev/null | sed 's/.*-//' | sort -rn); do
  if ls /usr/lib/llvm-"$c"/lib/clang/*/lib/linux/libclang_rt.fuzzer-x86_64.a \
        /usr/lib/llvm-"$c"/lib/clang/*/lib/*/libclang_rt.fuzzer*.a > /dev/null 2>&1; then
    clang="$c"
    break
  fi
done
[ -n "$clang" ] || { echo "fuzz: no clang with libFuzzer; run scripts/setup.sh --tests" >&2; exit 1; }
CXX="clang++-$clang" CC="clang-$clang" cmake -S . -B build/fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DQUORLAN_BUILD_FUZZERS=ON -DQUORLAN_BUILD_TESTS=OFF > /dev/null
cmake --build build/fuzz --target read_context_fuzz whole_road_fuzz
for target in read_context whole_road; do
  work="build/fuzz/corpus/$target"
  mkdir -p "$work"
  echo "== fuzzing $target for ${seconds}s"
  "build/fuzz/fuzz/${target}_fuzz" "$work" "fuzz/corpus/$target" -max_total_time="$seconds" \
    -max_len=4096 -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 2>&1 |
    grep -E "^(#[0-9]+.*DONE|stat::number_of_executed_units|stat::peak_rss_mb|==[0-9]+==|SUMMARY)" || true
  test "${PIPESTATUS[0]}" -eq 0
done
