#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test.
#   ./test.sh              the normal run (CI runs this)
#   ./test.sh --sanitize   the same under AddressSanitizer and UBSan
set -euo pipefail
cd "$(dirname "$0")"

preset=default
build=build
if [ "${1:-}" = "--sanitize" ]; then
  preset=sanitize
  build=build-sanitize
fi

./scripts/install-deps

werror=OFF
[ -n "${CI:-}" ] && werror=ON
# The build's jobs and the tests' as CMake and CTest take them from the
# environment (CMAKE_BUILD_PARALLEL_LEVEL, CTEST_PARALLEL_LEVEL), else one
# per processor.
cmake --preset "$preset" -DVMK_WERROR="$werror" >/dev/null
cmake --build "$build" -j "${CMAKE_BUILD_PARALLEL_LEVEL:-$(nproc)}"

# Every quoted include must point at its own floor or one below.
./scripts/check-layers

export QT_QPA_PLATFORM=offscreen
ctest --test-dir "$build" --output-on-failure -j "${CTEST_PARALLEL_LEVEL:-$(nproc)}"
