#!/usr/bin/env bash
# Installs what is missing, builds (Release), makes the content library when
# it is missing, and opens the stand-in host on the given images.
set -euo pipefail
cd "$(dirname "$0")"

./scripts/install-deps
cmake --preset release >/dev/null
cmake --build build-release -j "$(nproc)"

support="${VMK_SUPPORT_DIR:-${XDG_DATA_HOME:-$HOME/.local/share}}"
if [ -x build-release/content/make-content ] && [ ! -d "$support/Vellmarkstead" ]; then
  build-release/content/make-content "$support/Vellmarkstead"
fi

if [ -x build-release/tools/edit-host ]; then
  exec build-release/tools/edit-host "$@"
fi
# Until the stand-in host exists, show what has been built.
echo "The stand-in host is not built yet. Built libraries:"
find build-release/src -name 'libvmk_*.a' -printf '  %f\n' | sort
