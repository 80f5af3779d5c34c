# Shared by the check scripts (sourced, not run): installing what is missing,
# a work folder with a Wine prefix of its own, and counting checks.

# install_missing PACKAGE...: installs the Debian packages that are not installed.
install_missing() {
  local missing=() p
  for p in "$@"; do dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p"); done
  if [ ${#missing[@]} -gt 0 ]; then
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
  fi
}

# A fresh work folder, removed at the end, with Wine set up in it. No window
# can open: the message box must not hold a run.
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export WINEPREFIX="$work/wineprefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY

passed=0
failed=0
# check NAME CONDITION...: runs CONDITION and counts it, saying how it went.
check() {
  local name="$1"
  shift
  if "$@"; then
    passed=$((passed + 1))
    echo "ok      $name"
  else
    failed=$((failed + 1))
    echo "FAILED  $name"
  fi
}
