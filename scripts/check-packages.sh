#!/usr/bin/env bash
# Makes the release packages from this checkout with the README's release
# command and checks each one as a user would get it: what it holds, and the
# program unpacked from it, run on the example, against the bytes the build's
# own program writes (the aarch64 one under qemu-aarch64-static, the Windows
# one under Wine). The Linux programs must be linked statically, lintian must
# find no error in a .deb, SHA256SUMS must list and match every package, and
# a second build of the same commit in another folder must give the same
# bytes. Installs what is missing (Debian).
set -euo pipefail
source_dir="$(cd "$(dirname "$0")/.." && pwd)"
cd "$source_dir"

source scripts/checks.sh
install_missing g++-mingw-w64-x86-64-posix g++-aarch64-linux-gnu qemu-user-static wine wine64 dpkg-dev lintian unzip man-db file binutils

rm -rf build-release
cmake --workflow --preset release
version=$(sed -n 's/^project(kasor-max VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
out=build-release/packages
zip="$out/kasor-max-${version}-win64.zip"
packages=("kasor-max-${version}-linux-x86_64.tar.gz" "kasor-max_${version}_amd64.deb"
          "kasor-max-${version}-linux-aarch64.tar.gz" "kasor-max_${version}_arm64.deb" "kasor-max-${version}-win64.zip")

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
check "the package folder holds the five packages and SHA256SUMS, nothing else" \
  test "$(ls -A "$out" | listing)" = "$(printf '%s\n' "${packages[@]}" SHA256SUMS | listing)"
sums_match() {
  [ "$(awk '{ print $2 }' "$out/SHA256SUMS" | listing)" = "$(printf '%s\n' "${packages[@]}" | listing)" ] &&
    (cd "$out" && sha256sum --quiet -c SHA256SUMS)
}
check "SHA256SUMS lists every package, and each matches" sums_match

# A program linked statically: no dynamic section, so no library or symbol
# version it needs (file says so; readelf finds nothing to list).
static() { file "$1" | grep -q 'statically linked' && ! readelf -d "$1" 2>/dev/null | grep -q NEEDED && ! objdump -T "$1" >/dev/null 2>&1; }

# linux ARCH PROCESSOR RUNNER...: the .deb and the .tar.gz of one architecture,
# their programs run with RUNNER (nothing, or an emulator).
linux() {
  local arch="$1" processor="$2"
  shift 2
  local deb="$out/kasor-max_${version}_${arch}.deb" tgz="$out/kasor-max-${version}-linux-${processor}.tar.gz"
  check "$arch deb holds the program, its manual page, the README, copyright, changelog and lintian's note" \
    test "$(dpkg-deb -c "$deb" | awk '{ print $6 }' | listing)" = \
         "usr usr/bin usr/bin/kasor-max usr/share usr/share/doc usr/share/doc/kasor-max usr/share/doc/kasor-max/README.md usr/share/doc/kasor-max/changelog.gz usr/share/doc/kasor-max/copyright usr/share/lintian usr/share/lintian/overrides usr/share/lintian/overrides/kasor-max usr/share/man usr/share/man/man1 usr/share/man/man1/kasor-max.1.gz "
  check "$arch deb is for $arch and depends on nothing" \
    test "$(dpkg-deb -f "$deb" Architecture)/$(dpkg-deb -f "$deb" Depends)" = "$arch/"
  dpkg-deb -x "$deb" "$work/deb-$arch"
  check "$arch deb's program is linked statically" static "$work/deb-$arch/usr/bin/kasor-max"
  check "$arch deb's program writes the build's bytes" cmp -s "$expected" "$(result "deb-$arch" "$@" "$work/deb-$arch/usr/bin/kasor-max")"
  check "$arch deb's program knows its version" test "$("$@" "$work/deb-$arch/usr/bin/kasor-max" --version)" = "kasor-max $version"
  local lintian_log="$work/lintian-$arch.txt" lintian_ok=no
  lintian --fail-on error "$deb" > "$lintian_log" 2>&1 && lintian_ok=yes
  grep -v 'root privileges' "$lintian_log" || true
  check "lintian reports no error in the $arch deb" test "$lintian_ok" = yes
  check "lintian finds the manual page in the $arch deb" sh -c "! grep -q no-manual-page '$lintian_log'"
  local top="kasor-max-${version}-linux-${processor}"
  check "$processor tar.gz holds the program, its manual page, the README and the license" \
    test "$(tar -tzf "$tgz" | listing)" = \
         "$top/bin $top/bin/kasor-max $top/share $top/share/doc $top/share/doc/kasor-max $top/share/doc/kasor-max/LICENSE $top/share/doc/kasor-max/README.md $top/share/man $top/share/man/man1 $top/share/man/man1/kasor-max.1.gz "
  mkdir "$work/tgz-$processor"
  tar -xzf "$tgz" -C "$work/tgz-$processor"
  check "$processor tar.gz's program is linked statically" static "$work/tgz-$processor/$top/bin/kasor-max"
  check "$processor tar.gz's program writes the build's bytes" \
    cmp -s "$expected" "$(result "tgz-$processor" "$@" "$work/tgz-$processor/$top/bin/kasor-max")"
}

deb="$out/kasor-max_${version}_amd64.deb"
dpkg-deb -x "$deb" "$work/deb"
man_warnings=$(MANWIDTH=80 man --warnings -l "$work/deb/usr/share/man/man1/kasor-max.1.gz" 2>&1 >/dev/null || echo "man failed")
[ -z "$man_warnings" ] || echo "$man_warnings"
check "the manual page renders without a warning" test -z "$man_warnings"
linux amd64 x86_64
linux arm64 aarch64 qemu-aarch64-static

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

# Built again from the same commit in another folder: the same bytes.
elsewhere="$work/anderswo/kasor-max"
mkdir -p "$elsewhere"
git ls-files -z | tar --null -T - -cf - | tar -xf - -C "$elsewhere"
export SOURCE_DATE_EPOCH="$(git log -1 --format=%ct)"
(cd "$elsewhere" && cmake --workflow --preset release >/dev/null 2>&1) || true
check "a second build in another folder gives the same SHA256SUMS" \
  cmp -s "$out/SHA256SUMS" "$elsewhere/build-release/packages/SHA256SUMS"

echo "packages: $passed passed, $failed failed"
[ "$failed" = 0 ]
