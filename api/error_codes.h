// The negative results of open and of the USB read, as Orvy_Api.h lists them.
#pragma once

namespace orvy::api {

enum OpenError : int {
    kCannotOpen = -1,
    kNoSuchPrinter = -2,
    kDriverStuck = -3,
    kInterfaceBusy = -4,
    kNoActiveConfig = -5,
    kNoAlternateSetting = -6,
    kTooFewEndpoints = -7,
    kNoRingStorage = -8,
};

enum UsbReadError : int {
    kReadNoMemory = -1,
    kReadRingRefused = -2,
    kReadPacketTooLarge = -3,
};

}  // namespace orvy::api
