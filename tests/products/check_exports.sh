#!/usr/bin/env bash
# check_exports.sh MODULE [SYMBOL...]: the module's exported functions and data are exactly SYMBOL...
set -euo pipefail
module=$1
shift
expected=$(printf '%s\n' "$@" | sed '/^$/d' | sort)
actual=$(nm -D --defined-only "$module" | awk '$2 ~ /^[TtWwDdBbRrVvi]$/ {print $3}' | sort)
if [[ "$expected" != "$actual" ]]; then
  echo "$(basename "$module") exports differ from its entry point list"
  diff <(echo "$expected") <(echo "$actual") || true
  exit 1
fi
echo "$(basename "$module"): ${actual:-no entry points}" | tr '\n' ' '
echo
