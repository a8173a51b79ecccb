#include "usb_reservation.h"

#include <algorithm>
#include <mutex>
#include <vector>

namespace orvy::api {
namespace {

std::mutex reservations_lock;
std::vector<UsbBusAddress> reserved;

bool same(UsbBusAddress a, UsbBusAddress b) { return a.bus == b.bus && a.address == b.address; }

}  // namespace

bool UsbReservation::take(UsbBusAddress where)
{
    release();
    const std::lock_guard lock(reservations_lock);
    if (std::any_of(reserved.begin(), reserved.end(),
                    [&](UsbBusAddress held) { return same(held, where); })) {
        return false;
    }
    reserved.push_back(where);
    held_ = true;
    where_ = where;
    return true;
}

void UsbReservation::release()
{
    if (!held_) return;
    held_ = false;
    const std::lock_guard lock(reservations_lock);
    const auto found = std::find_if(reserved.begin(), reserved.end(),
                                    [&](UsbBusAddress held) { return same(held, where_); });
    if (found != reserved.end()) reserved.erase(found);
}

}  // namespace orvy::api
