#!/bin/sh
# Builds the toolkit and runs its main job: a full verbose inquiry report
# from the simulated printer on the USB bulk transport.
set -eu
cd "$(dirname "$0")/.."

./scripts/install-deps.sh
cmake --preset default
cmake --build --preset default -j "$(nproc)"

build=build/default
exec "$build/sim/Orvy_Simulator" -- \
  "$build/tools/inquiry/Orvy_InquiryTool" -v /dev/bus/usb/001/011 "[3F]"
