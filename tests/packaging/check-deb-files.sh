#!/bin/sh
# The package holds exactly the files of EXPECTED, with the modes Debian wants (programs 0755,
# everything else 0644, all owned by root), and its compressed files are sound.
#   check-deb-files.sh OUT EXPECTED
set -eu
. "$(dirname "$0")/lib.sh"
need dpkg-deb
deb=$(find "$1" -maxdepth 1 -name '*.deb' | head -n 1)
[ -n "$deb" ] || fail "no package in $1 (did Packaging.Deb.Build fail?)"
expected=$2
root=$scratch/root
dpkg-deb -x "$deb" "$root"
(cd "$root" && find . ! -type d | LC_ALL=C sort) >"$scratch/files"
diff -u "$expected" "$scratch/files" || fail "the package's files differ from $expected"
dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { print $1, $2, $6 }' | while read -r mode owner file; do
  case $file in
  ./usr/bin/*) want=-rwxr-xr-x ;;
  *) want=-rw-r--r-- ;;
  esac
  [ "$mode" = "$want" ] || fail "$file has mode $mode, not $want"
  [ "$owner" = root/root ] || fail "$file belongs to $owner, not root/root"
done
dpkg-deb -c "$deb" | awk '$1 ~ /^d/ && $1 != "drwxr-xr-x" { print; bad = 1 } END { exit bad }' ||
  fail "folders whose mode is not 0755"
for gz in $(grep '\.gz$' "$scratch/files"); do
  gzip -t "$root/$gz" || fail "$gz is not a sound gzip file"
done
echo "$(wc -l <"$scratch/files") files as expected in $(basename "$deb")"
