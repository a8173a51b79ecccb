// The printer on USB: emulates the usbfs device /dev/bus/usb/001/<address> that
// libusb drives, by answering the client's usbfs ioctls (URBs, claims,
// configuration, kernel driver) on umockdev's worker thread.
#pragma once

#include <umockdev.h>

#include <deque>
#include <list>
#include <memory>
#include <optional>
#include <string>

#include "gobject_ref.h"
#include "printer_link.h"
#include "testbed.h"
#include "usb_descriptors.h"

namespace orvy::sim {

class UsbPort {
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

    const UsbPlace &place() const { return place_; }

private:
    struct Urb {
        GRef<UMockdevIoctlClient> client;
        GRef<UMockdevIoctlData> data;    // the client's struct usbdevfs_urb
        GRef<UMockdevIoctlData> buffer;  // its transfer buffer, if any
        std::uint8_t type = 0;
        std::uint8_t endpoint = 0;
        int buffer_length = 0;
        bool done = false;
        int status = 0;
        int actual = 0;
        Bytes payload;  // bytes for the client's buffer
        std::size_t payload_offset = 0;
    };

    static gboolean on_ioctl(UMockdevIoctlBase *handler, UMockdevIoctlClient *client,
                             gpointer self);
    void handle_ioctl(UMockdevIoctlClient *client);
    void submit(UMockdevIoctlClient *client, UMockdevIoctlData *arg);
    void reap(UMockdevIoctlClient *client, UMockdevIoctlData *arg);
    void discard(UMockdevIoctlClient *client, UMockdevIoctlData *arg);
    int claim(UMockdevIoctlClient *client, unsigned interface);
    int release(UMockdevIoctlClient *client, unsigned interface);
    int get_driver(UMockdevIoctlClient *client, std::uint8_t *getdriver);
    int usbfs_ioctl(const std::uint8_t *command);
    int set_configuration(unsigned value);

    void control_transfer(Urb &urb);
    void printer_class_request(Urb &urb, const SetupPacket &setup);
    // The data stage of a control request; none stalls it.
    void answer_in_control(Urb &urb, std::optional<Bytes> answer);
    // What the port status byte reports: the roll is out.
    bool paper_empty() const;
    void bulk_out(Urb &urb);
    void deliver(Bytes answer);
    void fill_in_urbs();
    void drop_dead_clients();
    void update_fifo();
    bool claimed_by_other(UMockdevIoctlClient *client) const;

    SharedPrinter &shared_;
    Testbed &testbed_;
    UsbPlace place_;
    PrinterLink link_;
    GRef<UMockdevIoctlBase> handler_;
    int fifo_fd_ = -1;
    bool fifo_blocked_ = false;

    std::list<Urb> urbs_;
    std::deque<Bytes> ready_packets_;
    bool unplugged_ = false;
    bool stopped_ = false;
    bool kernel_driver_attached_ = false;
    GRef<UMockdevIoctlClient> claimed_by_;
    unsigned claim_refusals_left_ = 0;
    bool first_out_done_ = false;
};

}  // namespace orvy::sim
