#!/usr/bin/env bash
# Installs what is missing, builds (Release) what a start runs, makes the
# content library when it is missing, and opens the stand-in host on the
# given images (on a picture of the content library when none is given).
set -euo pipefail
cd "$(dirname "$0")"

./scripts/install-deps
cmake --preset release >/dev/null
# Only what this script runs: the host, the plug-in bundle it loads and the
# content generator. The benchmarks (scripts/bench) and the tests (./test.sh)
# build in trees of their own; building them here made a first start wait
# minutes longer and a later one rebuild them before the window showed.
cmake --build build-release -j "$(nproc)" --target edit-host ApeVMKPlugin make-content

support="${VMK_SUPPORT_DIR:-${XDG_DATA_HOME:-$HOME/.local/share}}"
if [ -x build-release/content/make-content ] && [ ! -d "$support/Vellmarkstead" ]; then
  build-release/content/make-content "$support/Vellmarkstead"
fi

if [ "$#" -eq 0 ]; then
  # No image given: a picture of the content library.
  set -- "$support/Vellmarkstead/Images/generic.tif"
fi
exec build-release/tools/edit-host "$@"
