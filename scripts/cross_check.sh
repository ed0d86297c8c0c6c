#!/usr/bin/env bash
# Compiles every source file, the bundled parser libraries included, for the platforms the
# hosted release workflow builds wheels on and this machine cannot: macOS (x86-64 and arm64) and
# Windows (x86-64), with zig's clang and its C libraries. Object files only: nothing is linked.
# The Python headers are this interpreter's; for Windows its pyconfig.h gets the few switches
# that name POSIX-only headers turned off. Needs scripts/setup.sh --tests.
set -euo pipefail
cd "$(dirname "$0")/.."
py="$(pwd)/.venv/bin/python"
zig="$("$py" -c 'import os, ziglang; print(os.path.join(os.path.dirname(ziglang.__file__), "zig"))')"
work="$(pwd)/build/cross"
rm -rf "$work"
mkdir -p "$work"

# The version, written once in pyproject.toml.
version="$("$py" -c 'import tomllib; print(tomllib.load(open("pyproject.toml", "rb"))["project"]["version"])')"
include="$("$py" -c 'import sysconfig; print(sysconfig.get_paths()["include"])')"
# Debian's pyconfig.h only picks the real one by the target's multiarch tuple; take the real one.
real_config="$("$py" -c 'import os, sysconfig
v = sysconfig.get_config_var
p = os.path.join(os.path.dirname(sysconfig.get_paths()["include"]), v("MULTIARCH") or "-",
                 "python" + v("LDVERSION"), "pyconfig.h")
print(p if os.path.exists(p) else "")')"
for copy in python-posix python-windows; do
  cp -r "$include" "$work/$copy"
  [[ -n "$real_config" ]] && cp "$real_config" "$work/$copy/pyconfig.h"
done
cat >> "$work/python-windows/pyconfig.h" <<'WINDOWS'

/* Compiling for Windows with this machine's headers: no POSIX-only headers or threads. */
#undef HAVE_SYS_SELECT_H
#undef HAVE_SYS_TIME_H
#undef HAVE_PTHREAD_H
#undef _POSIX_THREADS
#define MS_WINDOWS
#define NT_THREADS
WINDOWS

# Compiles one file (argument 2) for one target (argument 1), as xargs hands them over.
cat > "$work/compile" <<COMPILE
#!/usr/bin/env bash
set -euo pipefail
headers="$work/python-posix"
[[ "\$1" == *windows* ]] && headers="$work/python-windows"
out="$work/\$1/\$(echo "\$2" | tr / _).o"
case "\$2" in
  *.c) exec "$zig" cc -target "\$1" -O0 -DUTF8PROC_STATIC -c "\$2" -o "\$out" ;;
  third_party/*) exec "$zig" c++ -target "\$1" -std=c++20 -O0 -c "\$2" -o "\$out" ;;
  *) exec "$zig" c++ -target "\$1" -std=c++20 -O0 -Wall -Wextra -Werror -Isrc \\
       -Ithird_party/utf8proc -Ithird_party/libcsv -Ithird_party/pugixml \\
       -Ithird_party/nlohmann_json -DUTF8PROC_STATIC -DPy_LIMITED_API=0x03090000 \\
       -DQUORLAN_VERSION='"$version"' -isystem "\$headers" -c "\$2" -o "\$out" ;;
esac
COMPILE
chmod +x "$work/compile"

mapfile -t files < <(find src -name '*.cpp' | sort; echo third_party/utf8proc/utf8proc.c;
                     echo third_party/libcsv/libcsv.c; echo third_party/pugixml/pugixml.cpp)
targets=(x86_64-macos aarch64-macos x86_64-windows-gnu)
for target in "${targets[@]}"; do
  mkdir -p "$work/$target"
  for f in "${files[@]}"; do printf '%s\n%s\n' "$target" "$f"; done
done | xargs -n 2 -P "$(nproc)" "$work/compile"
for target in "${targets[@]}"; do
  echo "$target: $(ls "$work/$target" | wc -l) object files"
done
