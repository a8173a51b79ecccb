// Which USB printers a connection of this process holds, by bus number and
// device address. A connection of orvy_api_conn_open refuses a printer that
// another connection of the process holds at once, rather than after a
// second of claim retries against its own process.
#pragma once

#include "usb_bus_path.h"

namespace orvy::api {

class UsbReservation {
public:
    UsbReservation() = default;
    UsbReservation(const UsbReservation &) = delete;
    UsbReservation &operator=(const UsbReservation &) = delete;
    ~UsbReservation() { release(); }

    // False when another connection of the process holds the printer.
    bool take(UsbBusAddress where);

private:
    void release();

    bool held_ = false;
    UsbBusAddress where_{};
};

}  // namespace orvy::api
