#!/usr/bin/env bash
# The .deb as Debian's tools see it: lintian reports no error and no warning;
# the desktop entry and the AppStream data validate; every manual page
# formats without a warning; every command has its page; the newest changelog
# entry is the package's version; the disc builder, run from the unpacked
# package, writes the demo disc's image with the packaged program at its root.
#
#   check-package.sh DEB DEMO_DISC COMMAND...
set -uo pipefail

fail() { echo "FAIL: $*" >&2; exit 1; }
[ $# -ge 3 ] || fail "usage: check-package.sh DEB DEMO_DISC COMMAND..."
deb=$1 demo=$2; shift 2
[ -f "$deb" ] || fail "no package at $deb (the package_build test makes it)"
for tool in lintian desktop-file-validate appstreamcli man dpkg-deb; do
  command -v "$tool" >/dev/null || fail "$tool is missing (scripts/install-deps installs it)"
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
dpkg-deb -x "$deb" "$work" || fail "dpkg-deb cannot unpack $deb"
failed=0
problem() { echo "FAIL: $*" >&2; failed=1; }

# Info tags are shown; errors and warnings fail.
out=$(lintian --fail-on error,warning --display-info "$deb" 2>&1); rc=$?
out=$(grep -v 'running with root privileges' <<<"$out")
if [ "$rc" -eq 0 ]; then
  echo "ok - lintian: no errors, no warnings"
  [ -n "$out" ] && sed 's/^/  /' <<<"$out"
else
  problem "lintian reports errors or warnings:
$out"
fi

desktop=("$work"/usr/share/applications/*.desktop)
[ -f "${desktop[0]}" ] || problem "the package holds no desktop entry"
for f in "${desktop[@]}"; do
  [ -f "$f" ] || continue
  if out=$(desktop-file-validate "$f" 2>&1) && [ -z "$out" ]; then
    echo "ok - desktop-file-validate $(basename "$f")"
  else
    problem "desktop-file-validate $(basename "$f"): $out"
  fi
  grep -qx 'Exec=trevlin %f' "$f" || problem "$(basename "$f") does not start trevlin with the folder (Exec=trevlin %f)"
  grep -qx 'MimeType=inode/directory;' "$f" || problem "$(basename "$f") does not offer to open folders"
  icon=$(sed -n 's/^Icon=//p' "$f")
  ls "$work"/usr/share/icons/hicolor/*/apps/"$icon".png >/dev/null 2>&1 || problem "no icon named $icon in the hicolor theme"
done

metainfo=("$work"/usr/share/metainfo/*.metainfo.xml)
[ -f "${metainfo[0]}" ] || problem "the package holds no AppStream metainfo file"
for f in "${metainfo[@]}"; do
  [ -f "$f" ] || continue
  if out=$(appstreamcli validate --no-net "$f" 2>&1); then
    echo "ok - appstreamcli validate --no-net $(basename "$f")"
  else
    problem "appstreamcli validate $(basename "$f"): $out"
  fi
  id=$(sed -n 's:.*<id>\(.*\)</id>.*:\1:p' "$f")
  [ "$(basename "$f")" = "$id.metainfo.xml" ] && [ -f "$work/usr/share/applications/$id.desktop" ] \
    || problem "the metainfo file, its <id> ($id) and the desktop entry's name disagree"
done

for command in "$@"; do
  [ -x "$work/usr/bin/$command" ] || problem "the package does not install /usr/bin/$command"
  page=$work/usr/share/man/man1/$command.1.gz
  if [ ! -f "$page" ]; then
    problem "no manual page for $command"
    continue
  fi
  out=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$page" 2>&1 >/dev/null)
  [ -z "$out" ] && echo "ok - man --warnings -l $command.1.gz" || problem "man --warnings -l $command.1.gz: $out"
  # Made by help2man from the command's own --help, so the two agree.
  zcat "$page" | grep -q 'help2man' && zcat "$page" | grep -q -- '\\-\\-version' ||
    problem "the manual page of $command is not made from its --help and --version"
done

version=$(dpkg-deb -f "$deb" Version)
newest=$(zcat "$work/usr/share/doc/trevlin/changelog.gz" 2>/dev/null | sed -n '1s/^trevlin (\([^)]*\)).*/\1/p')
[ "$newest" = "$version" ] || problem "the newest changelog entry is \"$newest\", the package is $version"

builder=trevlin-make-disc
if [ -x "$work/usr/bin/$builder" ]; then
  command -v xorriso >/dev/null || fail "xorriso is missing (scripts/install-deps installs it)"
  if "$work/usr/bin/$builder" "$demo" "$work/demo.iso" >"$work/builder.log" 2>&1; then
    listing=$(xorriso -indev "$work/demo.iso" -find / -exec lsdl 2>/dev/null)
    for entry in "-r-xr-xr-x .* '/trevlin'" "'/autorun.sh'" "'/trevlin.INI'" "'/logo.avi'" "'/.trevlin/lib'"; do
      grep -q -- "$entry" <<<"$listing" || problem "the image $builder wrote lacks $entry"
    done
    echo "ok - $builder: $(tail -n 1 "$work/builder.log")"
  else
    problem "$builder failed on the demo disc: $(tail -n 5 "$work/builder.log")"
  fi
fi

[ "$failed" -eq 0 ] || exit 1
echo "ok - $(basename "$deb"): $(dpkg-deb -f "$deb" Depends)"
