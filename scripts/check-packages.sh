#!/usr/bin/env bash
# Makes the release packages from this checkout with the README's release
# command and checks each one as a user would get it: what it holds, and the
# program unpacked from it, run on the example, against the bytes the build's
# own program writes (the Windows one under Wine). lintian must find no error
# in the .deb. Installs what is missing (Debian).
set -euo pipefail
source_dir="$(cd "$(dirname "$0")/.." && pwd)"
cd "$source_dir"

source scripts/checks.sh
install_missing g++-mingw-w64-x86-64-posix wine wine64 dpkg-dev lintian unzip man-db

rm -rf build-release
cmake --workflow --preset release
version=$(sed -n 's/^project(kasor-max VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
out=build-release/packages
deb="$out/kasor-max_${version}_amd64.deb"
tgz="$out/kasor-max-${version}-linux-x86_64.tar.gz"
zip="$out/kasor-max-${version}-win64.zip"

# result NAME PROGRAM...: runs PROGRAM on a fresh copy of the example; prints where its result is.
result() {
  local folder="$work/run-$1"
  shift
  cp -r examples "$folder"
  (cd "$folder" && "$@") >/dev/null 2>&1 || true
  echo "$folder/KASOR_max.dat"
}
listing() { sed 's|^\./||; s|/$||' | grep -v '^$' | sort | tr '\n' ' '; }

expected=$(result own "$source_dir/build-release/kasor-max")
test -s "$expected"

echo "packages: $(cd "$out" && ls -l *.deb *.tar.gz *.zip | awk '{ printf "%s %d bytes; ", $9, $5 }')"
check "the package folder holds the three packages and nothing else" \
  test "$(ls -A "$out" | listing)" = "$(printf '%s\n' "$(basename "$tgz")" "$(basename "$zip")" "$(basename "$deb")" | listing)"

# The .deb
check "deb holds the program, its manual page, the README, copyright and changelog" \
  test "$(dpkg-deb -c "$deb" | awk '{ print $6 }' | listing)" = \
       "usr usr/bin usr/bin/kasor-max usr/share usr/share/doc usr/share/doc/kasor-max usr/share/doc/kasor-max/README.md usr/share/doc/kasor-max/changelog.gz usr/share/doc/kasor-max/copyright usr/share/man usr/share/man/man1 usr/share/man/man1/kasor-max.1.gz "
dpkg-deb -x "$deb" "$work/deb"
man_warnings=$(MANWIDTH=80 man --warnings -l "$work/deb/usr/share/man/man1/kasor-max.1.gz" 2>&1 >/dev/null || echo "man failed")
[ -z "$man_warnings" ] || echo "$man_warnings"
check "the manual page renders without a warning" test -z "$man_warnings"
check "deb's program writes the build's bytes" cmp -s "$expected" "$(result deb "$work/deb/usr/bin/kasor-max")"
check "deb's program knows its version" test "$("$work/deb/usr/bin/kasor-max" --version)" = "kasor-max $version"
echo "deb depends on: $(dpkg-deb -f "$deb" Depends)"
lintian_log="$work/lintian.txt"
lintian --fail-on error "$deb" > "$lintian_log" 2>&1 && lintian_ok=yes || lintian_ok=no
grep -v 'root privileges' "$lintian_log" || true
check "lintian reports no error" test "$lintian_ok" = yes
check "lintian finds the manual page" sh -c "! grep -q no-manual-page '$lintian_log'"

# The .tar.gz
top="kasor-max-${version}-linux-x86_64"
check "tar.gz holds the program, its manual page, the README and the license" \
  test "$(tar -tzf "$tgz" | listing)" = \
       "$top/bin $top/bin/kasor-max $top/share $top/share/doc $top/share/doc/kasor-max $top/share/doc/kasor-max/LICENSE $top/share/doc/kasor-max/README.md $top/share/man $top/share/man/man1 $top/share/man/man1/kasor-max.1.gz "
mkdir "$work/tgz"
tar -xzf "$tgz" -C "$work/tgz"
check "tar.gz's program writes the build's bytes" cmp -s "$expected" "$(result tgz "$work/tgz/$top/bin/kasor-max")"

# The .zip, its program under Wine
top="kasor-max-${version}-win64"
check "zip holds the program, its console twin, LIESMICH.txt and LICENSE.txt, and no .md" \
  test "$(unzip -Z1 "$zip" | listing)" = "$top/LICENSE.txt $top/LIESMICH.txt $top/kasor-max.com $top/kasor-max.exe "
unzip -q "$zip" -d "$work/zip"
crlf_only() { [ -s "$1" ] && [ "$(grep -c '' "$1")" = "$(grep -c $'\r$' "$1")" ]; }  # every line ends in CR LF
check "LIESMICH.txt starts with a UTF-8 byte order mark" \
  test "$(head -c 3 "$work/zip/$top/LIESMICH.txt" | od -An -tx1 | tr -d ' ')" = efbbbf
check "LIESMICH.txt has CR LF line ends" crlf_only "$work/zip/$top/LIESMICH.txt"
check "zip's license has CR LF line ends" crlf_only "$work/zip/$top/LICENSE.txt"
wineboot -i >/dev/null 2>&1
check "zip's program under Wine writes the build's bytes" \
  cmp -s "$expected" "$(result zip timeout 120 wine "$work/zip/$top/kasor-max.exe")"
check "zip's program knows its version" \
  test "$(timeout 60 wine "$work/zip/$top/kasor-max.exe" --version | tr -d '\r')" = "kasor-max $version"
check "zip's console twin writes the build's bytes" \
  cmp -s "$expected" "$(result zip-com timeout 120 wine "$work/zip/$top/kasor-max.com")"

echo "packages: $passed passed, $failed failed"
[ "$failed" = 0 ]
