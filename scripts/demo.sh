#!/bin/sh
# Builds the toolkit and shows it at work on the simulated printer.
set -eu
cd "$(dirname "$0")/.."

./scripts/install-deps.sh
cmake --preset default
cmake --build --preset default -j "$(nproc)"

build=build/default
if [ -x "$build/tools/inquiry/Orvy_InquiryTool" ] && [ -x "$build/sim/Orvy_Simulator" ]; then
  exec "$build/sim/Orvy_Simulator" -- "$build/tools/inquiry/Orvy_InquiryTool" -v /dev/bus/usb/001/011 "[3F]"
fi
exec "$build/tb/orvy_tb_demo"
