#!/bin/sh
# Installs the build into a temporary prefix and checks what landed where
# freedesktop environments look for it. $1: the build folder.
set -eu
build="$1"
prefix="$(mktemp -d)"
trap 'rm -rf "$prefix"' EXIT

cmake --install "$build" --prefix "$prefix" >/dev/null

fail() { echo "install check: $*" >&2; exit 1; }
[ -x "$prefix/bin/joblet" ] || fail "no executable bin/joblet"
[ -x "$prefix/bin/joblet-batch" ] || fail "no executable bin/joblet-batch"
[ -f "$prefix/share/man/man1/joblet-batch.1.gz" ] || fail "no manual"
[ -x "$prefix/share/joblet/slurm/submit.sh" ] || fail "no Slurm scripts"
desktop="$prefix/share/applications/joblet.desktop"
[ -f "$desktop" ] || fail "no desktop entry"
[ -f "$prefix/share/icons/hicolor/scalable/apps/joblet.svg" ] || fail "no icon"
[ -f "$prefix/share/mime/packages/joblet.xml" ] || fail "no MIME package"

desktop-file-validate "$desktop" || fail "desktop entry does not validate"
grep -q '^MimeType=application/x-joblet-list;' "$desktop" || fail "entry does not open lists"
grep -q '^Categories=AudioVideo;Video;$' "$desktop" || fail "wrong categories"

# The MIME database compiler accepts the package and maps the extension.
update-mime-database "$prefix/share/mime" || fail "MIME package rejected"
[ -f "$prefix/share/mime/application/x-joblet-list.xml" ] || fail "MIME type not compiled"
grep -q 'application/x-joblet-list:\*\.jlt' "$prefix/share/mime/globs" || fail "*.jlt not mapped"

# The installed program answers without a window or a display.
env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM= "$prefix/bin/joblet" --version | grep -q . \
  || fail "installed program gives no version"

echo "install check: ok"
