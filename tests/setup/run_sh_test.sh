#!/usr/bin/env bash
# Tests ./run.sh without building anything: run.sh is copied into a scratch
# tree whose install step, cmake and built programs are stand-ins that log
# their arguments. A start must build only what it runs (the host, the
# plug-in bundle, the content generator), each a target the real build
# knows; make the content library once, into the maker's folder of the
# given home; and open the host on the given images.
# Usage: run_sh_test.sh SOURCE_DIR BUILD_DIR NINJA
set -uo pipefail
source_dir="$1"
build_dir="$2"
ninja="$3"
tree=$(mktemp -d)
trap 'rm -rf "$tree"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

mkdir -p "$tree/repo/scripts" "$tree/bin" "$tree/home"
cp "$source_dir/run.sh" "$tree/repo/run.sh"
log="$tree/log"
printf '#!/bin/sh\necho "install-deps $*" >>"%s"\n' "$log" >"$tree/repo/scripts/install-deps"
# The stand-in cmake "builds" the two programs run.sh starts, as stand-ins
# that log how they were called.
cat >"$tree/bin/cmake" <<STUB
#!/bin/sh
echo "cmake \$*" >>"$log"
if [ "\$1" = "--build" ]; then
  mkdir -p "\$2/tools" "\$2/content"
  printf '#!/bin/sh\\necho "edit-host \$*" >>"$log"\\n' >"\$2/tools/edit-host"
  printf '#!/bin/sh\\necho "make-content \$*" >>"$log"\\nmkdir -p "\$1"\\n' >"\$2/content/make-content"
  chmod +x "\$2/tools/edit-host" "\$2/content/make-content"
fi
STUB
chmod +x "$tree/repo/scripts/install-deps" "$tree/bin/cmake"

start() {
  env -u VMK_SUPPORT_DIR -u XDG_DATA_HOME HOME="$tree/home" PATH="$tree/bin:$PATH" \
    "$tree/repo/run.sh" "$@" >>"$tree/out" 2>&1 || fail "run.sh failed: $(cat "$tree/out")"
}

start photo.jpg
builds=$(grep -c '^cmake --build' "$log")
[ "$builds" = 1 ] || fail "expected one build, found $builds: $(cat "$log")"
build=$(grep '^cmake --build' "$log")
case "$build" in
  *" --target "*) ;;
  *) fail "the build names no targets, so it builds everything: $build" ;;
esac
targets=$(sed 's/.* --target //' <<<"$build" | tr ' ' '\n' | sort | tr '\n' ' ')
[ "$targets" = "ApeVMKPlugin edit-host make-content " ] ||
  fail "run.sh builds '$targets', not the host, the plug-in bundle and the content generator"
# Each name is a target of the real build (a renamed target would make the
# build fail for every new user), and asking about it builds nothing.
for t in $targets; do
  "$ninja" -C "$build_dir" -t query "$t" >/dev/null 2>&1 || fail "the build has no target $t"
done
grep -qx "make-content $tree/home/.local/share/Vellmarkstead" "$log" ||
  fail "the content library was not made in the maker's folder: $(cat "$log")"
grep -qx "edit-host photo.jpg" "$log" || fail "the host was not opened on the image: $(cat "$log")"

# A later start builds the same targets again (nothing, when they are up to
# date) and leaves the content library alone.
: >"$log"
start a.png b.tif
grep -q '^make-content' "$log" && fail "the content library was made a second time"
[ "$(grep '^cmake --build' "$log" | sed 's/.* --target //')" = "$(sed 's/.* --target //' <<<"$build")" ] ||
  fail "a later start builds other targets: $(cat "$log")"
grep -qx "edit-host a.png b.tif" "$log" || fail "the host was not opened on both images: $(cat "$log")"

# No image: a picture of the content library.
: >"$log"
start
grep -qx "edit-host $tree/home/.local/share/Vellmarkstead/Images/generic.tif" "$log" ||
  fail "without an image the host was not opened on the library's picture: $(cat "$log")"
echo "run.sh builds only $targets"
