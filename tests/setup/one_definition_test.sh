#!/usr/bin/env bash
# Every global function and variable of the project is defined in one of its libraries only.
# Two static libraries that both define a name link without a word: a program gets whichever
# definition its link order reaches first, so the two can silently disagree.
# Usage: one_definition_test.sh LIBRARY_FOLDER
set -uo pipefail
folder="$1"
shopt -s nullglob
libs=("$folder"/libvmk_*.a)
[ ${#libs[@]} -gt 0 ] || { echo "FAIL: no library in $folder"; exit 1; }
twice=$(for lib in "${libs[@]}"; do
          nm -g --defined-only "$lib" 2>/dev/null |
            awk -v lib="$(basename "$lib")" 'NF == 3 && $2 ~ /^[TDBR]$/ { print $3 "\t" lib }'
        done | sort -u | awk -F'\t' '{ n[$1]++; where[$1] = where[$1] " " $2 }
                                     END { for (s in n) if (n[s] > 1) print s ":" where[s] }')
if [ -n "$twice" ]; then
  echo "FAIL: defined in more than one library:"
  printf '%s\n' "$twice" | c++filt
  exit 1
fi
echo "one definition each in ${#libs[@]} libraries"
