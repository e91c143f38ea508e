#!/usr/bin/env bash
# Builds everything and runs every test: native rules under ASan/UBSan, the fuzz
# targets for a bounded time, and the Windows tests under Wine; the installer and
# the Windows tests are also built with clang (not run), and clang-tidy checks the
# sources (scripts/lint.sh). Ends with ctest's summary.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
jobs=$(nproc)
for preset in native fuzz windows-test windows-clang; do
  cmake --preset "$preset" ${KESTRAVON_WERROR:+-DKESTRAVON_WERROR=ON} >/dev/null
  if [ "$preset" = windows-clang ]; then
    # GNU ld notes, hundreds of times, that clang pads a few runtime type-info sections
    # differently from GCC; their contents are the same (see the clang toolchain file).
    cmake --build --preset "$preset" -j "$jobs" 2>&1 \
      | { grep -v "duplicate section .* has different size$" || true; }
  else
    cmake --build --preset "$preset" -j "$jobs"
  fi
done
scripts/lint.sh
# One ctest run over the three tested build trees, so there is one summary.
mkdir -p build/all
{
  echo "subdirs(\"$PWD/build/native\")"
  echo "subdirs(\"$PWD/build/fuzz\")"
  echo "subdirs(\"$PWD/build/windows-test\")"
} >build/all/CTestTestfile.cmake
cd build/all
exec ctest --output-on-failure --timeout 900 "$@"
