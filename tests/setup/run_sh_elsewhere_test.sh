#!/usr/bin/env bash
# Tests ./run.sh started from another folder, as a user starts it beside
# their photos (`../vmk/run.sh photo.jpg`): every path given is taken from
# the folder it was started in, the images and --versions DIR alike, with
# the images after `--`, and a relative VMK_SUPPORT_DIR too; its build takes
# its jobs from CMAKE_BUILD_PARALLEL_LEVEL. run.sh is copied into a scratch
# tree whose install step and cmake are stand-ins (nothing is built); the
# stand-in build leaves a host that is the real one of this build, which
# writes the version (--auto ok) on the offscreen platform.
# Usage: run_sh_elsewhere_test.sh SOURCE_DIR EDIT_HOST PHOTO
set -uo pipefail
source_dir="$1"
edit_host="$2"
photo="$3"
tree=$(mktemp -d)
trap 'rm -rf "$tree"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

mkdir -p "$tree/repo/scripts" "$tree/bin" "$tree/home" "$tree/photos"
cp "$source_dir/run.sh" "$tree/repo/run.sh"
log="$tree/log"
printf '#!/bin/sh\necho "install-deps $*" >>"%s"\n' "$log" >"$tree/repo/scripts/install-deps"
cat >"$tree/bin/cmake" <<STUB
#!/bin/sh
echo "cmake \$* (in \$(pwd))" >>"$log"
if [ "\$1" = "--build" ]; then
  mkdir -p "\$2/tools" "\$2/content"
  printf '#!/bin/sh\\nexec "%s" "\$@"\\n' "$edit_host" >"\$2/tools/edit-host"
  printf '#!/bin/sh\\necho "make-content \$* (in \$(pwd))" >>"$log"\\nmkdir -p "\$1"\\n' >"\$2/content/make-content"
  chmod +x "\$2/tools/edit-host" "\$2/content/make-content"
fi
STUB
chmod +x "$tree/repo/scripts/install-deps" "$tree/bin/cmake"
cp "$photo" "$tree/photos/photo.jpg"
cp "$photo" "$tree/photos/-dash.jpg"

# From the photos' folder, with relative paths only.
start() {
  (cd "$tree/photos" &&
    env -u VMK_LIVE_LOG -u XDG_DATA_HOME HOME="$tree/home" PATH="$tree/bin:$PATH" QT_QPA_PLATFORM=offscreen \
      VMK_SUPPORT_DIR=support "$@" >>"$tree/out" 2>&1) ||
    fail "run.sh $* failed: $(cat "$tree/out")"
}

start env CMAKE_BUILD_PARALLEL_LEVEL=3 ../repo/run.sh --versions edited --auto ok photo.jpg
[ -s "$tree/photos/edited/photo.tif" ] ||
  fail "no version of photo.jpg in the folder named from the photos' folder: $(ls -R "$tree" | head -40)"
[ -e "$tree/repo/edited" ] && fail "the versions went into run.sh's own folder"
grep -qx "cmake --preset release (in $tree/repo)" "$log" ||
  fail "the release tree was not configured in run.sh's folder: $(cat "$log")"
build=$(grep '^cmake --build' "$log")
case "$build" in
  "cmake --build $tree/repo/build-release -j 3 "*) ;;
  *) fail "the build does not take its jobs from CMAKE_BUILD_PARALLEL_LEVEL: $build" ;;
esac
grep -qx "make-content support/Vellmarkstead (in $tree/photos)" "$log" ||
  fail "the content library was not made in the support folder named from the photos' folder: $(cat "$log")"

# Without the variable, as many jobs as processors; an image after "--" whose
# name starts with "-".
: >"$log"
start env -u CMAKE_BUILD_PARALLEL_LEVEL ../repo/run.sh --versions edited --auto ok -- -dash.jpg
[ -s "$tree/photos/edited/-dash.tif" ] || fail "no version of -dash.jpg: $(cat "$tree/out")"
grep -q "^cmake --build $tree/repo/build-release -j $(nproc) " "$log" ||
  fail "without CMAKE_BUILD_PARALLEL_LEVEL the build does not use every processor: $(cat "$log")"
grep -q '^make-content' "$log" && fail "the content library was made a second time"
# With CDPATH exported, cd prints the folder it found; run.sh must still take
# its own folder alone (a start as `repo/run.sh`, which CDPATH's "." matches).
: >"$log"
(cd "$tree" &&
  env -u VMK_LIVE_LOG -u XDG_DATA_HOME CDPATH=".:.." HOME="$tree/home" PATH="$tree/bin:$PATH" \
    QT_QPA_PLATFORM=offscreen VMK_SUPPORT_DIR=photos/support repo/run.sh --versions photos/cd --auto ok \
    photos/photo.jpg >>"$tree/out" 2>&1) || fail "run.sh with CDPATH exported failed: $(cat "$tree/out")"
[ -s "$tree/photos/cd/photo.tif" ] || fail "no version with CDPATH exported: $(cat "$tree/out")"
grep -qx "cmake --preset release (in $tree/repo)" "$log" ||
  fail "with CDPATH exported the release tree was not configured in run.sh's folder: $(cat "$log")"
echo "run.sh took the paths from the folder it was started in"
