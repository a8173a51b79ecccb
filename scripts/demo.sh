#!/bin/sh
# Builds the inquiry tool and the simulator, nothing else, and runs the main
# job: a full verbose inquiry report from the simulated printer on the USB
# bulk transport. ./scripts/test.sh installs and builds the rest.
set -eu
cd "$(dirname "$0")/.."

./scripts/install-deps.sh demo
cmake --preset demo >/dev/null
cmake --build --preset demo -j "$(nproc)" --target Orvy_Simulator Orvy_InquiryTool

build=build/demo
exec "$build/sim/Orvy_Simulator" -- \
  "$build/tools/inquiry/Orvy_InquiryTool" -v /dev/bus/usb/001/011 "[3F]"
