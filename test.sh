#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test.
#   ./test.sh              the normal run (CI runs this)
#   ./test.sh --sanitize   the same under AddressSanitizer and UBSan, then the two-thread
#                          tests under ThreadSanitizer (build-tsan)
set -euo pipefail
CDPATH= cd -- "$(dirname -- "$0")"

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
tests_jobs="${CTEST_PARALLEL_LEVEL:-$(nproc)}"
ctest --test-dir "$build" --output-on-failure -j "$tests_jobs"

# The two-thread tests once more under ThreadSanitizer: a tree of only their programs, each
# test at one thread of the shared pool (tests/CMakeLists.txt names them).
if [ "$preset" = sanitize ]; then
  cmake --preset tsan -DVMK_WERROR="$werror" >/dev/null
  cmake --build build-tsan -j "${CMAKE_BUILD_PARALLEL_LEVEL:-$(nproc)}" --target two_thread_tests
  ctest --test-dir build-tsan -L two-threads --no-tests=error --output-on-failure -j "$tests_jobs"
fi
