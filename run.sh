#!/usr/bin/env bash
# Installs what is missing, builds (Release) what a start runs, makes the
# content library when it is missing, and opens the stand-in host on the
# given images (on a picture of the content library when none is given).
set -euo pipefail
# The host runs in the folder the script was started from: every path given
# (the images, --versions DIR, --layers FILE, --bundle DIR) is taken from
# there, as a user typing them expects. Only the set-up and the build work
# in the script's own tree.
# CDPATH is cleared for the cd: with it set, cd prints the folder it found,
# which would become part of `here`.
here="$(CDPATH='' cd -- "$(dirname -- "$0")" && pwd)"

"$here/scripts/install-deps"
(cd "$here" && cmake --preset release >/dev/null)
# Only what this script runs: the host, the plug-in bundle it loads and the
# content generator. The benchmarks (scripts/bench) and the tests (./test.sh)
# build in trees of their own; building them here made a first start wait
# minutes longer and a later one rebuild them before the window showed.
# CMAKE_BUILD_PARALLEL_LEVEL sets the build's jobs, as for any CMake build.
cmake --build "$here/build-release" -j "${CMAKE_BUILD_PARALLEL_LEVEL:-$(nproc)}" \
  --target edit-host ApeVMKPlugin make-content

support="${VMK_SUPPORT_DIR:-${XDG_DATA_HOME:-$HOME/.local/share}}"
if [ -x "$here/build-release/content/make-content" ] && [ ! -d "$support/Vellmarkstead" ]; then
  "$here/build-release/content/make-content" "$support/Vellmarkstead"
fi

if [ "$#" -eq 0 ]; then
  # No image given: a picture of the content library.
  set -- "$support/Vellmarkstead/Images/generic.tif"
fi
exec "$here/build-release/tools/edit-host" "$@"
