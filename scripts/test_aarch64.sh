#!/usr/bin/env bash
# Runs the Python suite on the aarch64 wheel in an arm64 Debian root under qemu-user emulation.
# Slow (emulation makes the suite ten to thirty times slower), so the test command builds and
# checks the aarch64 wheel but leaves this run to be started by hand:
#   bash scripts/build_wheel.sh aarch64 && bash scripts/test_aarch64.sh
# The root is made with debootstrap's first stage (no arm64 program runs to make it). The
# interpreter runs under qemu through a binfmt handler where the machine lets one be registered,
# else through qemu explicitly, with a wrapper as sys.executable for the suite's child processes.
set -euo pipefail
cd "$(dirname "$0")/.."
root="$(pwd)/build/arm64-root"
step() { echo "-- aarch64: $*"; }
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"

need=()
for p in debootstrap qemu-user-static debian-archive-keyring; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep "ok installed" > /dev/null || need+=("$p")
done
if [ "${#need[@]}" -gt 0 ]; then
  step "installing ${need[*]}"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends \
    "${need[@]}" > /dev/null
fi
qemu=/usr/bin/qemu-aarch64-static

. /etc/os-release
suite="$VERSION_CODENAME"
if [ ! -x "$root/usr/bin/python3" ]; then
  step "making an arm64 $suite root (debootstrap's first stage, its packages unpacked)"
  rm -rf "$root"
  $sudo debootstrap --arch=arm64 --foreign --variant=minbase --include=python3 \
    "$suite" "$root" http://deb.debian.org/debian > "$root.log" 2>&1 ||
    { tail -20 "$root.log"; exit 1; }
  # The first stage unpacks only what the second would need; the files of every package it
  # fetched are enough to run the interpreter, without configuring anything.
  for deb in "$root"/var/cache/apt/archives/*.deb; do $sudo dpkg-deb -x "$deb" "$root"; done
fi
python="$(readlink -f "$root/usr/bin/python3")"

# A binfmt handler for arm64 programs, if the machine allows one.
binfmt=/proc/sys/fs/binfmt_misc
if [ ! -e "$binfmt/register" ]; then $sudo mount -t binfmt_misc binfmt_misc "$binfmt" 2>/dev/null || true; fi
if [ -w "$binfmt/register" ] && [ ! -e "$binfmt/qemu-aarch64" ]; then
  printf '%s' ':qemu-aarch64:M::\x7fELF\x02\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\xb7\x00:\xff\xff\xff\xff\xff\xff\xff\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:'"$qemu"':F' \
    > "$binfmt/register" 2>/dev/null || true
fi
run=("$root/usr/bin/python3-emulated")
if [ -e "$binfmt/qemu-aarch64" ]; then
  step "arm64 programs run through the binfmt handler"
  cat > "${run[0]}" <<EOF
#!/bin/sh
QEMU_LD_PREFIX="$root" exec "$python" "\$@"
EOF
else
  step "no binfmt handler: the interpreter runs under qemu explicitly"
  cat > "${run[0]}" <<EOF
#!/bin/sh
exec "$qemu" -L "$root" -0 "\$0" "$python" "\$@"
EOF
fi
chmod +x "${run[0]}"
export QEMU_LD_PREFIX="$root"

# The wheel and the test tools (pure Python, or arm64 wheels from PyPI) in a folder of their own.
wheel="$(ls dist/quorlan-*manylinux*_aarch64.whl)"
site="$root/opt/quorlan-test"
step "installing $(basename "$wheel") and the test tools"
rm -rf "$site"
.venv/bin/python -m pip install --quiet --disable-pip-version-check --target "$site" \
  --platform manylinux2014_aarch64 --python-version "$("${run[0]}" -c 'import sys; print("%d.%d" % sys.version_info[:2])')" \
  --only-binary=:all: "$wheel" pytest hypothesis nbformat nbclient ipykernel

step "the Python suite under emulation (uname -m: $("${run[0]}" -c 'import platform; print(platform.machine())'))"
PYTHONPATH="$site" "${run[0]}" -m pytest -q -p no:cacheprovider tests/python "$@"
