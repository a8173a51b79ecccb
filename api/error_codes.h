// The negative results of the library, as Orvy_Api.h lists and names them.
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

// The further results of the connections of orvy_api_conn_open.
enum ConnectionError : int {
    kNoConnection = -9,
    kInvalidArgument = -10,
    kPrinterGone = -11,
};

enum UsbReadError : int {
    kReadNoMemory = -1,
    kReadRingRefused = -2,
    kReadPacketTooLarge = -3,
};

}  // namespace orvy::api
