#!/usr/bin/env bash
# Checks that every #include in src/ goes a way docs/architecture.md allows:
# its table "Which part may include which" is read here, row by row, so that
# the document and the check cannot disagree. Prints each include that goes
# another way, and fails if there is one, or if a file belongs to no part.
set -euo pipefail
cd "$(dirname "$0")/.."

# The table's rows, "part|allowed parts" (each `name` between backticks);
# "everything" allows every part.
rows=$(awk '
  /^## Which part may include which/ { table = 1; next }
  table && /^## / { table = 0 }
  table && /^\| `/ {
    split($0, cell, "|")
    part = cell[2]; gsub(/[` ]/, "", part)
    allowed = cell[3]; gsub(/`/, "", allowed); gsub(/,/, " ", allowed)
    print part "|" allowed
  }' docs/architecture.md)
[ -n "$rows" ] || { echo "docs/architecture.md has no table of parts"; exit 1; }

# part PATH: the part a path under src/ belongs to: the longest name in the
# table that is a folder holding it ("input/") or its own name without the
# ending ("platform/runtime" for platform/runtime.h and .cpp).
part() {
  local best="" name
  while IFS='|' read -r name _; do
    case "$name" in
      */) [[ "$1" == "$name"* ]] || continue ;;
      *.h) [ "$1" = "$name" ] || continue ;;
      *) [[ "$1" == "$name".* ]] || continue ;;
    esac
    [ ${#name} -gt ${#best} ] && best="$name"
  done <<< "$rows"
  echo "${best:-none}"
}

allowed_for() { awk -F'|' -v p="$1" '$1 == p { print $2 }' <<< "$rows"; }

bad=0
while IFS= read -r file; do
  from=$(part "${file#src/}")
  if [ "$from" = none ]; then
    echo "$file belongs to no part of the table"
    bad=1
    continue
  fi
  allowed=" $(allowed_for "$from") "
  while IFS= read -r included; do
    [ -n "$included" ] || continue
    to=$(part "$included")
    [ "$to" = "$from" ] && continue
    if [[ "$allowed" != *" everything "* && "$allowed" != *" $to "* ]]; then
      echo "$file includes $included: $from may not include $to"
      bad=1
    fi
  done < <(sed -n 's/^#include "\([^"]*\)".*/\1/p' "$file")
done < <(find src -name '*.h' -o -name '*.cpp' | sort)

[ "$bad" = 0 ] && echo "includes: every one goes a way the parts allow ($(wc -l <<< "$rows") parts)"
exit "$bad"
