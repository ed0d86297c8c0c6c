#!/usr/bin/env bash
# Tries the set-up where a new user starts: a bare root of a Debian release (debootstrap's
# minimal variant, as root, nothing installed by hand) holding a fresh clone of this repository.
#   bash scripts/bare_root_check.sh bookworm           # the two README commands
#   bash scripts/bare_root_check.sh trixie sdist       # the sdist on g++, cmake, python3-dev,
#                                                      # python3-venv alone
# Prints the time and disk each step took. Needs root, debootstrap and network access to
# deb.debian.org and PyPI. The root is left in build/bare-<suite>[-sdist] for inspection.
set -euo pipefail
cd "$(dirname "$0")/.."
suite="${1:?name a Debian release: bookworm, trixie}"
mode="${2:-readme}"
root="$(pwd)/build/bare-$suite"
[ "$mode" = sdist ] && root="$root-sdist"
step() { echo "== $*"; }

dpkg-query -W -f='${Status}' debootstrap 2>/dev/null | grep "ok installed" > /dev/null ||
  { apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq debootstrap > /dev/null; }
cleanup() {
  for m in proc sys dev/pts dev; do umount "$root/$m" 2>/dev/null || true; done
}
trap cleanup EXIT
cleanup
rm -rf "$root"
step "debootstrap --variant=minbase $suite"
started=$SECONDS
debootstrap --variant=minbase "$suite" "$root" http://deb.debian.org/debian > "$root.log" 2>&1 ||
  { tail -20 "$root.log"; exit 1; }
echo "   $((SECONDS - started)) s, $(du -shx "$root" | cut -f1)"
for m in proc sys dev dev/pts; do mount --bind "/$m" "$root/$m"; done
cp /etc/resolv.conf "$root/etc/resolv.conf"
# A network that inspects TLS needs this machine's trust anchors: they go into the root as one
# bundle, named to pip as this machine names it (a user there configures the same).
tls=()
if [ -n "${PIP_CERT:-}" ]; then
  cp "$PIP_CERT" "$root/etc/host-ca-bundle.crt"
  tls=(PIP_CERT=/etc/host-ca-bundle.crt SSL_CERT_FILE=/etc/host-ca-bundle.crt)
fi
in_root() { chroot "$root" /usr/bin/env -i HOME=/root PATH=/usr/local/bin:/usr/bin:/bin \
              TERM=dumb LANG=C.UTF-8 "${tls[@]}" bash -c "$1"; }

if [ "$mode" = sdist ]; then
  step "the source distribution"
  # Built from a clone of what is committed, away from build/ (which holds the bare roots).
  sdist_src="$(mktemp -d)"
  git clone --quiet "$(pwd)" "$sdist_src/quorlan"
  (cd "$sdist_src/quorlan" && "$OLDPWD/.venv/bin/python" -c \
    "from scikit_build_core.build import build_sdist; build_sdist('dist')" > /dev/null)
  cp "$sdist_src"/quorlan/dist/quorlan-*.tar.gz "$root/root/"
  rm -rf "$sdist_src"
  started=$SECONDS
  step "apt-get install g++ cmake python3-dev python3-venv"
  in_root "apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends g++ cmake python3-dev python3-venv > /dev/null"
  step "pip install quorlan-*.tar.gz into a new virtual environment"
  in_root "python3 -m venv /root/venv && /root/venv/bin/pip install --quiet /root/quorlan-*.tar.gz &&
           /root/venv/bin/python -c 'import quorlan; c = quorlan.parse_context(b\"B\n2\n2\na\nb\nx\ny\nX.\n.X\n\"); print(c, quorlan.compute_lattice(c).n_concepts, \"concepts\")'"
  echo "   $((SECONDS - started)) s, $(du -shx "$root" | cut -f1)"
  exit
fi

step "a fresh clone of this repository in /root/quorlan"
git clone --quiet "$(pwd)" "$root/root/quorlan"
for command in "bash scripts/run_example.sh" "bash scripts/test.sh"; do
  step "$command"
  started=$SECONDS
  in_root "cd /root/quorlan && $command" > "$root.$(echo "$command" | tr ' /' '__').log" 2>&1 ||
    { tail -40 "$root.$(echo "$command" | tr ' /' '__').log"; echo "FAILED: $command"; exit 1; }
  tail -3 "$root.$(echo "$command" | tr ' /' '__').log"
  echo "   $((SECONDS - started)) s, root now $(du -shx "$root" | cut -f1)"
done
