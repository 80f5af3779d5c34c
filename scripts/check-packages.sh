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
install_missing g++-mingw-w64-x86-64-posix wine wine64 dpkg-dev lintian unzip

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

# The .deb
check "deb holds the program, the README, copyright and changelog" \
  test "$(dpkg-deb -c "$deb" | awk '{ print $6 }' | listing)" = \
       "usr usr/bin usr/bin/kasor-max usr/share usr/share/doc usr/share/doc/kasor-max usr/share/doc/kasor-max/README.md usr/share/doc/kasor-max/changelog.gz usr/share/doc/kasor-max/copyright "
dpkg-deb -x "$deb" "$work/deb"
check "deb's program writes the build's bytes" cmp -s "$expected" "$(result deb "$work/deb/usr/bin/kasor-max")"
check "deb's program knows its version" test "$("$work/deb/usr/bin/kasor-max" --version)" = "kasor-max $version"
echo "deb depends on: $(dpkg-deb -f "$deb" Depends)"
lintian_log="$work/lintian.txt"
lintian --fail-on error "$deb" > "$lintian_log" 2>&1 && lintian_ok=yes || lintian_ok=no
grep -v 'root privileges' "$lintian_log" || true
check "lintian reports no error" test "$lintian_ok" = yes

# The .tar.gz
top="kasor-max-${version}-linux-x86_64"
check "tar.gz holds the program, the README and the license" \
  test "$(tar -tzf "$tgz" | listing)" = \
       "$top/bin $top/bin/kasor-max $top/share $top/share/doc $top/share/doc/kasor-max $top/share/doc/kasor-max/LICENSE $top/share/doc/kasor-max/README.md "
mkdir "$work/tgz"
tar -xzf "$tgz" -C "$work/tgz"
check "tar.gz's program writes the build's bytes" cmp -s "$expected" "$(result tgz "$work/tgz/$top/bin/kasor-max")"

# The .zip, its program under Wine
top="kasor-max-${version}-win64"
check "zip holds the program, README.txt and LICENSE.txt" \
  test "$(unzip -Z1 "$zip" | listing)" = "$top/LICENSE.txt $top/README.txt $top/kasor-max.exe "
unzip -q "$zip" -d "$work/zip"
crlf_only() { [ -s "$1" ] && [ "$(grep -c '' "$1")" = "$(grep -c $'\r$' "$1")" ]; }  # every line ends in CR LF
check "zip's texts have CR LF line ends" crlf_only "$work/zip/$top/README.txt"
check "zip's license has CR LF line ends" crlf_only "$work/zip/$top/LICENSE.txt"
wineboot -i >/dev/null 2>&1
check "zip's program under Wine writes the build's bytes" \
  cmp -s "$expected" "$(result zip timeout 120 wine "$work/zip/$top/kasor-max.exe")"
check "zip's program knows its version" \
  test "$(timeout 60 wine "$work/zip/$top/kasor-max.exe" --version | tr -d '\r')" = "kasor-max $version"

echo "packages: $passed passed, $failed failed"
[ "$failed" = 0 ]
