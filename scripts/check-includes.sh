#!/usr/bin/env bash
# Checks that every #include in src/ goes a way docs/architecture.md allows:
# each part may include only the parts below it. Prints each include that
# goes another way, and fails if there is one.
set -euo pipefail
cd "$(dirname "$0")/.."

# part PATH: the part a file under src/ belongs to.
part() {
  case "$1" in
    platform/numbers/*) echo numbers ;;
    platform/system/*) echo system ;;
    platform/files/*) echo files ;;
    platform/channels.*) echo channels ;;
    platform/*) echo runtime ;;
    peak/*) echo peak ;;
    input/*) echo input ;;
    output/*) echo output ;;
    run/*) echo run ;;
    *) echo unknown ;;
  esac
}

# What each part may include, besides itself.
declare -A allowed=(
  [numbers]="runtime:target"
  [system]="runtime:target"
  [runtime]="numbers system"
  [files]="runtime numbers system"
  [channels]="files runtime numbers system"
  [peak]="numbers system runtime:target"
  [input]="peak files numbers runtime"
  [output]="peak channels files numbers runtime"
  [run]="input output peak channels files numbers system runtime"
)

bad=0
while IFS= read -r file; do
  from=$(part "${file#src/}")
  while IFS= read -r included; do
    to=$(part "$included")
    [ "$to" = "$from" ] && continue
    ok=no
    for may in ${allowed[$from]:-}; do
      # "runtime:target" allows only platform/target.h of the runtime part.
      if [ "$may" = "$to" ] || { [ "$may" = "runtime:target" ] && [ "$included" = "platform/target.h" ]; }; then ok=yes; fi
    done
    if [ "$ok" = no ]; then
      echo "$file includes $included: $from may not include $to"
      bad=1
    fi
  done < <(sed -n 's/^#include "\([^"]*\)".*/\1/p' "$file")
done < <(find src -name '*.h' -o -name '*.cpp' | sort)

[ "$bad" = 0 ] && echo "includes: every one goes a way the parts allow"
exit "$bad"
