#!/usr/bin/env bash
# Builds the libFuzzer targets with clang, AddressSanitizer and UndefinedBehaviorSanitizer (the
# parser libraries too, from their sources in third_party/), runs each once over its committed
# corpus (fuzz/corpus/<target>), then fuzzes each for SECONDS seconds (default 20) from it.
#   bash scripts/fuzz.sh            # the test command's run
#   bash scripts/fuzz.sh 3600       # a campaign of an hour per target; new inputs go to
#                                   # build/fuzz/corpus/<target>, crashes to build/fuzz/
# After a campaign, the inputs worth keeping are merged into the committed corpus with
#   build/fuzz/fuzz/<target>_fuzz -merge=1 fuzz/corpus/<target> build/fuzz/corpus/<target>
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
targets=(read_context whole_road xml_windows other_formats)
cmake --build build/fuzz --target "${targets[@]/%/_fuzz}"
bash scripts/check_instrumented.sh build/fuzz
# The XML windows target reads recipes that expand to documents of up to a few megabytes.
max_len() { [ "$1" = xml_windows ] && echo 65536 || echo 4096; }
for target in "${targets[@]}"; do
  echo "== $target: the committed corpus, each input once"
  "build/fuzz/fuzz/${target}_fuzz" -runs=0 -timeout=60 -rss_limit_mb=4096 "fuzz/corpus/$target" 2>&1 |
    grep -E "^(#[0-9]+.*(INITED|DONE)|==[0-9]+==|SUMMARY)" || true
  test "${PIPESTATUS[0]}" -eq 0
done
fuzz_one() {  # one target for $seconds seconds, its report in build/fuzz/<target>.log
  local target="$1" work="build/fuzz/corpus/$1"
  mkdir -p "$work"
  (cd build/fuzz && "fuzz/${target}_fuzz" "../../$work" "../../fuzz/corpus/$target" \
    -max_total_time="$seconds" -max_len="$(max_len "$target")" -timeout=60 \
    -rss_limit_mb=4096 -print_final_stats=1) > "build/fuzz/$target.log" 2>&1
}
# Two targets at a time, one a core.
failed=0
for ((i = 0; i < ${#targets[@]}; i += 2)); do
  pair=("${targets[@]:i:2}")
  for target in "${pair[@]}"; do
    fuzz_one "$target" &
  done
  for target in "${pair[@]}"; do
    wait -n || failed=1
  done
  for target in "${pair[@]}"; do
    echo "== fuzzing $target for ${seconds}s"
    grep -E "^(#[0-9]+.*DONE|stat::number_of_executed_units|stat::peak_rss_mb|==[0-9]+==|SUMMARY)" \
      "build/fuzz/$target.log" || true
  done
done
exit "$failed"
