#!/usr/bin/env bash
# Builds the .deb and checks it: its contents, lintian (no error and no
# warning), and with --install an install with apt-get into a clean Debian 12
# root that this script makes (debootstrap, as root; a few minutes) or reuses
# (JOBLET_DEB_ROOT names it), which must bring the menu entry, icon and list
# type into the caches and a program that answers.
#   bash scripts/check-deb.sh [--install] [BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
install=0
if [ "${1:-}" = "--install" ]; then install=1; shift; fi
build="${1:-build-deb}"

bash scripts/install-deps.sh
bash scripts/install-deps.sh lintian
# A new folder is made without tests and benchmarks; an existing one is kept.
[ -f "$build/CMakeCache.txt" ] || cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DJOBLET_BUILD_TESTS=OFF -DJOBLET_BUILD_BENCH=OFF >/dev/null
# What the package holds; cpack itself builds nothing.
cmake --build "$build" -j2 --target joblet joblet-batch joblet_manuals joblet_changelog >/dev/null
rm -f "$build"/joblet_*.deb
(cd "$build" && cpack -G DEB >/dev/null)
deb="$(ls "$build"/joblet_*.deb)"
fail() { echo "check-deb: $*" >&2; exit 1; }

contents="$(dpkg-deb -c "$deb" | awk '{print $6}')"
for f in usr/bin/joblet usr/bin/joblet-batch usr/share/applications/joblet.desktop \
         usr/share/icons/hicolor/scalable/apps/joblet.svg usr/share/mime/packages/joblet.xml \
         usr/share/man/man1/joblet.1.gz usr/share/man/man1/joblet-batch.1.gz \
         usr/share/bash-completion/completions/joblet-batch usr/share/joblet/slurm/submit.sh \
         usr/share/doc/joblet/copyright usr/share/doc/joblet/changelog.gz; do
  grep -qx "./$f" <<<"$contents" || fail "$f is not in the package"
done
# Nothing of the build folder or of /usr/local.
if grep -v '^\./usr/' <<<"$contents" | grep -qv '^\./$'; then fail "files outside /usr"; fi

report="$(lintian --tag-display-limit 0 "$deb" 2>&1 | grep -v 'running with root privileges' || true)"
[ -n "$report" ] && echo "$report"
grep -q '^[EW]: ' <<<"$report" && fail "lintian reports errors or warnings"
echo "check-deb: $(basename "$deb"): contents and lintian ok"

[ "$install" = 1 ] || exit 0
[ "$(id -u)" -eq 0 ] || fail "--install needs root (chroot)"
root="${JOBLET_DEB_ROOT:-$build/clean-root}"
if [ ! -x "$root/usr/bin/apt-get" ]; then
  bash scripts/install-deps.sh debootstrap
  debootstrap --variant=minbase bookworm "$root" http://deb.debian.org/debian >/dev/null
fi
cp /etc/resolv.conf "$root/etc/resolv.conf"
cp "$deb" "$root/tmp/"
inroot() { chroot "$root" env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root "$@"; }
inroot apt-get update -qq
inroot env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "/tmp/$(basename "$deb")" >/dev/null
# The triggers of the packages that own the caches ran.
grep -q 'joblet.desktop' "$root/usr/share/applications/mimeinfo.cache" || fail "menu cache lacks the entry"
grep -q 'application/x-joblet-list:\*\.jlt' "$root/usr/share/mime/globs" || fail "*.jlt not mapped"
[ -f "$root/usr/share/icons/hicolor/scalable/apps/joblet.svg" ] || fail "no icon"
inroot joblet --version | grep -q . || fail "installed joblet gives no version"
inroot joblet-batch --help >/dev/null || fail "installed joblet-batch does not run"
inroot apt-get purge -y -qq joblet >/dev/null
echo "check-deb: installed into $root with apt-get, caches refreshed, programs run, purged"
