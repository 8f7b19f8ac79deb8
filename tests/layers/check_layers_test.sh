#!/usr/bin/env bash
# Tests scripts/check-layers on a tiny tree of its own: a downward include
# passes, a planted upward include fails and names its file and line, and so
# does a Qt header in a plain floor or a folder missing from the table.
# Usage: check_layers_test.sh PATH/TO/check-layers
set -uo pipefail
check="$1"
tree=$(mktemp -d)
trap 'rm -rf "$tree"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

mkdir -p "$tree"/src/{raster,paths,app/core,script,unknown}
printf '#pragma once\n' > "$tree/src/raster/rescale.h"
printf '#pragma once\n' > "$tree/src/app/core/session_state.h"
printf '#pragma once\n#include "raster/rescale.h"\n' > "$tree/src/paths/path.h"
printf '#include "app/core/session_state.h"\n#include "rescale.h"\n' > "$tree/src/raster/rescale.cpp"

out=$("$check" --root "$tree" 2>/dev/null) || fail "a clean tree is refused: $out"

# Planted: the raster core reaching up into paths.
printf '#include "raster/rescale.h"\n\n#include "paths/path.h"\n' > "$tree/src/raster/blur.cpp"
out=$("$check" --root "$tree" 2>/dev/null) && fail "an upward include passes"
grep -q '^src/raster/blur.cpp:3: #include "paths/path.h"' <<<"$out" || fail "no file:line in: $out"
rm "$tree/src/raster/blur.cpp"

printf '#include <QWidget>\n' > "$tree/src/script/script.cpp"
out=$("$check" --root "$tree" 2>/dev/null) && fail "a Qt header in plain code passes"
grep -q '^src/script/script.cpp:1:' <<<"$out" || fail "no file:line in: $out"
rm "$tree/src/script/script.cpp"

printf '#include "raster/rescale.h"\n' > "$tree/src/unknown/thing.cpp"
out=$("$check" --root "$tree" 2>/dev/null) && fail "a folder outside the table passes"
grep -q '^src/unknown/thing.cpp:1:.*not in the layer table' <<<"$out" || fail "unclear: $out"
echo "check-layers: all cases behave"
