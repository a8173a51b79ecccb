#!/bin/sh
# Builds the project and runs every test: ./scripts/test.sh [preset]
# Extra CMake cache settings can be passed through ORVY_CMAKE_ARGS.
set -eu
cd "$(dirname "$0")/.."
preset=${1:-default}

./scripts/install-deps.sh
# shellcheck disable=SC2086
cmake --preset "$preset" ${ORVY_CMAKE_ARGS:-}
cmake --build --preset "$preset" -j "$(nproc)"
ctest --preset "$preset" -j "$(nproc)"
