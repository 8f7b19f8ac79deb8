#!/usr/bin/env bash
# Installs what is missing, builds (Release), makes the content library when
# it is missing, and opens the stand-in host on the given images (on a
# picture of the content library when none is given).
set -euo pipefail
cd "$(dirname "$0")"

./scripts/install-deps
cmake --preset release >/dev/null
cmake --build build-release -j "$(nproc)"

support="${VMK_SUPPORT_DIR:-${XDG_DATA_HOME:-$HOME/.local/share}}"
if [ -x build-release/content/make-content ] && [ ! -d "$support/Vellmarkstead" ]; then
  build-release/content/make-content "$support/Vellmarkstead"
fi

if [ "$#" -eq 0 ]; then
  # No image given: a picture of the content library.
  set -- "$support/Vellmarkstead/Images/generic.tif"
fi
exec build-release/tools/edit-host "$@"
