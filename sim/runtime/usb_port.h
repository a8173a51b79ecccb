// The printer on USB: emulates the usbfs device /dev/bus/usb/001/<address> that
// libusb drives, by answering the client's usbfs ioctls (URBs, claims,
// configuration, kernel driver) on the thread of its ioctl server.
#pragma once

#include <deque>
#include <list>
#include <memory>
#include <optional>
#include <set>
#include <string>

#include "ioctl_server.h"
#include "print_engine.h"
#include "printer_link.h"
#include "testbed.h"
#include "usb_descriptors.h"

namespace orvy::sim {

class UsbPort final : public RoomWaiter {
public:
    UsbPort(SharedPrinter &shared, Testbed &testbed, UsbPlace place);
    ~UsbPort();
    UsbPort(const UsbPort &) = delete;
    UsbPort &operator=(const UsbPort &) = delete;

    bool create(std::string &error);

    // With the shared mutex held:
    void send_now(Bytes bytes) { link_.send_now(std::move(bytes)); }
    std::size_t queued_bytes() const;
    void stop();

    // Main thread, without the mutex: the device leaves the bus.
    void unplug();

    // With the shared mutex held: OUT transfers that wait take what fits.
    void room_freed() override;

    const UsbPlace &place() const { return place_; }

private:
    // Clients are the server's numbers; 0 is none.
    struct Urb {
        unsigned client = 0;
        std::uintptr_t address = 0;  // the client's struct usbdevfs_urb
        std::uintptr_t buffer = 0;   // its transfer buffer
        std::uint8_t type = 0;
        std::uint8_t endpoint = 0;
        int buffer_length = 0;
        Bytes sent;  // OUT data, or the setup packet with its data
        bool done = false;
        int status = 0;
        int actual = 0;
        Bytes payload;  // bytes for the client's buffer
        std::size_t payload_offset = 0;
        bool held = false;  // OUT that the printer never takes (--paper-out, --out-partial)
    };

    void handle_ioctl(unsigned client, IoctlCall &call);
    void client_closed(unsigned client);
    long other_ioctl(unsigned client, IoctlCall &call);
    void submit(unsigned client, IoctlCall &call);
    void reap(unsigned client, IoctlCall &call);
    void discard(unsigned client, IoctlCall &call);
    int claim(unsigned client, unsigned interface);
    int release(unsigned client, unsigned interface);
    int get_driver(unsigned client, std::uint8_t *getdriver);
    int usbfs_ioctl(const std::uint8_t *command);
    int set_configuration(unsigned value);

    void control_transfer(Urb &urb);
    void printer_class_request(Urb &urb, const SetupPacket &setup);
    // The data stage of a control request; none stalls it.
    void answer_in_control(Urb &urb, std::optional<Bytes> answer);
    // What the port status byte reports: the roll is out.
    bool paper_empty() const;
    void bulk_out(Urb &urb);
    void take_out_data(Urb &urb);
    bool out_waiting_before(const Urb &urb) const;
    void deliver(const Bytes &answer);
    void fill_in_urbs();
    void update_fifo();
    bool connected(unsigned client) const { return clients_.count(client) > 0; }
    bool claimed_by_other(unsigned client) const;

    SharedPrinter &shared_;
    Testbed &testbed_;
    UsbPlace place_;
    PrinterLink link_;
    std::unique_ptr<IoctlServer> server_;
    std::set<unsigned> clients_;  // those that have the node open
    int fifo_fd_ = -1;
    bool fifo_blocked_ = false;

    std::list<Urb> urbs_;
    std::deque<Bytes> ready_packets_;
    bool unplugged_ = false;
    bool stopped_ = false;
    bool kernel_driver_attached_ = false;
    unsigned claimed_by_ = 0;
    unsigned claim_refusals_left_ = 0;
    bool first_out_done_ = false;
    bool taking_ = false;
};

}  // namespace orvy::sim
