#!/usr/bin/env bash
# Checks that a fuzzing or sanitizer build links the parser libraries' bundled sources, compiled
# with AddressSanitizer, and none of the system's prebuilt archives.
#   bash scripts/check_instrumented.sh build/fuzz
set -euo pipefail
cd "$(dirname "$0")/.."
dir="$1"
for name in pugixml csv utf8proc; do
  archive="$dir/libquorlan_$name.a"
  [ -f "$archive" ] || { echo "$dir: no $archive: the $name sources were not built here" >&2; exit 1; }
  # grep reads all of nm's output: with pipefail, -q could end the pipe early and fail it.
  nm "$archive" 2> /dev/null | grep "__asan_report" > /dev/null ||
    { echo "$dir: $archive is not instrumented" >&2; exit 1; }
done
# nlohmann/json's header is found in third_party/ before the system's include directories.
grep -- "-isystem $(pwd)/third_party/nlohmann_json" "$dir/build.ninja" > /dev/null ||
  { echo "$dir: nlohmann/json is not taken from third_party/" >&2; exit 1; }
# The link lines name no parser library outside the project.
if grep -E -- "/usr/lib/[^ ]*lib(pugixml|csv|utf8proc)\." "$dir/build.ninja" > /dev/null; then
  echo "$dir: a system parser library is used:" >&2
  grep -E -o -- "/usr/lib/[^ ]*lib(pugixml|csv|utf8proc)\.[a-z.0-9]*" "$dir/build.ninja" | sort -u >&2
  exit 1
fi
echo "$dir: pugixml, libcsv and utf8proc built from third_party/ with AddressSanitizer;" \
  "nlohmann/json's header from third_party/"
