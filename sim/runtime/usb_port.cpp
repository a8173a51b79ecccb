#include "usb_port.h"

#include <fcntl.h>
#include <sys/ioctl.h>
// after sys/ioctl.h, which defines the _IO macros it uses
#include <linux/usbdevice_fs.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstring>

#include "answer_shaping.h"
#include "printer_class.h"
#include "usb_descriptors.h"
#include "usbfs_data.h"

namespace orvy::sim {

using namespace usbfs;

namespace {
constexpr std::size_t kMaxQueuedBytes = 64 * 1024;  // answers and babble nobody reads
}  // namespace

UsbPort::UsbPort(SharedPrinter &shared, Testbed &testbed, UsbPlace place)
    : shared_(shared), testbed_(testbed), place_(place),
      link_(shared, shared.usb_name.c_str(), [this](Bytes answer) { deliver(std::move(answer)); })
{
    kernel_driver_attached_ = shared.options.kernel_driver != KernelDriver::None;
    claim_refusals_left_ = shared.options.claim_busy;
}

UsbPort::~UsbPort()
{
    if (handler_) g_signal_handlers_disconnect_by_data(handler_.get(), this);
    if (fifo_fd_ >= 0) close(fifo_fd_);
}

bool UsbPort::create(std::string &error)
{
    handler_ = GRef<UMockdevIoctlBase>::adopt(umockdev_ioctl_base_new());
    g_signal_connect(handler_.get(), "handle-ioctl", G_CALLBACK(&UsbPort::on_ioctl), this);
    if (!testbed_.add_usb_printer(shared_.options.usb, place_, handler_.get(), error)) return false;

    // umockdev makes a usb node a regular file, which poll() reports ready
    // at all times, and libusb would spin on REAPURBNDELAY. A one-page FIFO
    // holding one byte is not writable: POLLOUT then means "something to reap".
    const std::string node = testbed_.root() + Testbed::usb_node(place_);
    if (unlink(node.c_str()) != 0 || mkfifo(node.c_str(), 0666) != 0) {
        error = "cannot replace " + node + " by a FIFO: " + std::strerror(errno);
        return false;
    }
    fifo_fd_ = open(node.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
    if (fifo_fd_ < 0 || fcntl(fifo_fd_, F_SETPIPE_SZ, 4096) < 0) {
        error = "cannot open the FIFO " + node + ": " + std::strerror(errno);
        return false;
    }
    std::lock_guard lock(shared_.mutex);
    update_fifo();
    return true;
}

std::size_t UsbPort::queued_bytes() const
{
    std::size_t total = 0;
    for (const auto &packet : ready_packets_) total += packet.size();
    return total;
}

void UsbPort::stop()
{
    stopped_ = true;
    link_.stop();
}

gboolean UsbPort::on_ioctl(UMockdevIoctlBase *, UMockdevIoctlClient *client, gpointer self)
{
    static_cast<UsbPort *>(self)->handle_ioctl(client);
    return TRUE;
}

void UsbPort::handle_ioctl(UMockdevIoctlClient *client)
{
    std::lock_guard lock(shared_.mutex);
    const gulong request = umockdev_ioctl_client_get_request(client);
    UMockdevIoctlData *arg = umockdev_ioctl_client_get_arg(client);
    drop_dead_clients();

    if (request == USBDEVFS_SUBMITURB) {
        submit(client, arg);
    } else if (request == USBDEVFS_REAPURBNDELAY || request == USBDEVFS_REAPURB) {
        reap(client, arg);
    } else if (request == USBDEVFS_DISCARDURB) {
        discard(client, arg);
    } else if (unplugged_) {
        complete(client, -ENODEV);
    } else {
        const std::size_t size = _IOC_SIZE(request);
        auto data = size > 0 ? resolve(arg, 0, size) : GRef<UMockdevIoctlData>();
        if (size > 0 && !data) {
            complete(client, -EFAULT);
            update_fifo();
            return;
        }
        UMockdevIoctlData *d = data.get();
        long result = -ENOTTY;
        switch (request) {
        case USBDEVFS_GET_CAPABILITIES:
            set_field<std::uint32_t>(d, 0,
                                     USBDEVFS_CAP_ZERO_PACKET | USBDEVFS_CAP_BULK_CONTINUATION |
                                         USBDEVFS_CAP_NO_PACKET_SIZE_LIM);
            result = 0;
            break;
        case USBDEVFS_CLAIMINTERFACE: result = claim(client, field<unsigned>(d, 0)); break;
        case USBDEVFS_RELEASEINTERFACE: result = release(client, field<unsigned>(d, 0)); break;
        case USBDEVFS_GETDRIVER: result = get_driver(client, d->data); break;
        case USBDEVFS_IOCTL: result = usbfs_ioctl(d->data); break;
        case USBDEVFS_SETCONFIGURATION:
            result = claimed_by_other(client) ? -EBUSY : set_configuration(field<unsigned>(d, 0));
            break;
        case USBDEVFS_SETINTERFACE:
            result = field<unsigned>(d, 0) == 0 &&
                             field<unsigned>(d, 4) < shared_.options.usb.alt_settings
                         ? 0
                         : -EINVAL;
            break;
        case USBDEVFS_CLEAR_HALT:
        case USBDEVFS_RESETEP:
        case USBDEVFS_RESET: result = 0; break;
        case USBDEVFS_GET_SPEED: result = 2; break;  // full speed
        case USBDEVFS_CONNECTINFO:
            set_field<unsigned>(d, 0, 11);
            result = 0;
            break;
        default: break;
        }
        complete(client, result);
    }
    update_fifo();
}

void UsbPort::submit(UMockdevIoctlClient *client, UMockdevIoctlData *arg)
{
    auto data = resolve(arg, 0, sizeof(usbdevfs_urb));
    if (!data) {
        complete(client, -EFAULT);
        return;
    }
    if (unplugged_) {
        complete(client, -ENODEV);
        return;
    }
    Urb urb;
    urb.type = field<std::uint8_t>(data.get(), offsetof(usbdevfs_urb, type));
    urb.endpoint = field<std::uint8_t>(data.get(), offsetof(usbdevfs_urb, endpoint));
    urb.buffer_length = field<int>(data.get(), offsetof(usbdevfs_urb, buffer_length));
    if (urb.buffer_length > 0) {
        urb.buffer = resolve(data.get(), offsetof(usbdevfs_urb, buffer),
                             static_cast<std::size_t>(urb.buffer_length));
        if (!urb.buffer) {
            complete(client, -EFAULT);
            return;
        }
    }
    const UsbShape &shape = shared_.options.usb;
    const bool control = urb.type == USBDEVFS_URB_TYPE_CONTROL && urb.endpoint == 0;
    const bool bulk = urb.type == USBDEVFS_URB_TYPE_BULK;
    const bool in = bulk && urb.endpoint == kBulkIn;
    const bool out = bulk && urb.endpoint == kBulkOut && shape.endpoints > 1;
    if (!control && !in && !out) {
        complete(client, -ENOENT);  // no such endpoint
        return;
    }
    urb.client = GRef<UMockdevIoctlClient>::share(client);
    urb.data = std::move(data);
    urbs_.push_back(std::move(urb));
    Urb &queued = urbs_.back();
    if (control) {
        control_transfer(queued);
    } else if (out) {
        bulk_out(queued);
    } else if (shared_.options.stall) {
        queued.done = true;
        queued.status = -EPIPE;
    } else if (queued.buffer_length == 0) {
        queued.done = true;
    }
    complete(client, 0);
    fill_in_urbs();
}

void UsbPort::control_transfer(Urb &urb)
{
    urb.done = true;
    if (urb.buffer_length < 8) {
        urb.status = -EINVAL;
        return;
    }
    const SetupPacket setup = setup_packet_of(urb.buffer->data);
    if (is_printer_class_request(setup)) {
        printer_class_request(urb, setup);
        return;
    }
    if ((setup.request_type & 0x80) == 0) {
        return;  // host-to-device requests are accepted as they are
    }
    answer_in_control(urb, answer_control_request(setup, shared_.options.usb));
}

void UsbPort::printer_class_request(Urb &urb, const SetupPacket &setup)
{
    auto answer = answer_printer_class_request(setup, shared_.options.usb, paper_empty());
    if (answer && setup.request == kSoftReset && (setup.request_type & 0x80) == 0) {
        ready_packets_.clear();  // the reset flushes what the host has not read
        shared_.transcript.event(shared_.usb_name.c_str(), "soft reset");
    }
    answer_in_control(urb, std::move(answer));
}

bool UsbPort::paper_empty() const { return shared_.options.paper_out; }

void UsbPort::answer_in_control(Urb &urb, std::optional<Bytes> answer)
{
    if (!answer) {
        urb.status = -EPIPE;
        return;
    }
    answer->resize(
        std::min<std::size_t>(answer->size(), static_cast<std::size_t>(urb.buffer_length) - 8));
    urb.actual = static_cast<int>(answer->size());
    urb.payload = std::move(*answer);
    urb.payload_offset = 8;
}

void UsbPort::bulk_out(Urb &urb)
{
    const Options &o = shared_.options;
    if (o.paper_out) return;  // stays in flight until the client gives up
    const std::uint8_t *bytes = urb.buffer ? urb.buffer->data : nullptr;
    std::size_t length = static_cast<std::size_t>(urb.buffer_length);
    if (o.out_partial && !first_out_done_) {
        // The printer takes a part, then stalls the rest until the time-out.
        first_out_done_ = true;
        length = std::min(length, *o.out_partial);
        urb.actual = static_cast<int>(length);
        link_.host_sent(bytes, length);
        return;
    }
    first_out_done_ = true;
    urb.done = true;
    urb.actual = static_cast<int>(length);
    link_.host_sent(bytes, length);
}

void UsbPort::reap(UMockdevIoctlClient *client, UMockdevIoctlData *arg)
{
    auto urb = std::find_if(urbs_.begin(), urbs_.end(),
                            [client](const Urb &u) { return u.done && u.client.get() == client; });
    if (urb == urbs_.end()) {
        complete(client, unplugged_ ? -ENODEV : -EAGAIN);
        return;
    }
    auto pointer = resolve(arg, 0, sizeof(void *));
    if (!pointer) {
        complete(client, -EFAULT);
        return;
    }
    set_field<int>(urb->data.get(), offsetof(usbdevfs_urb, status), urb->status);
    set_field<int>(urb->data.get(), offsetof(usbdevfs_urb, actual_length), urb->actual);
    if (urb->buffer && !urb->payload.empty()) {
        const std::size_t room =
            static_cast<std::size_t>(urb->buffer->data_len) - urb->payload_offset;
        std::memcpy(urb->buffer->data + urb->payload_offset, urb->payload.data(),
                    std::min(room, urb->payload.size()));
    }
    umockdev_ioctl_data_set_ptr(pointer.get(), 0, urb->data.get());
    complete(client, 0);
    urbs_.erase(urb);
}

void UsbPort::discard(UMockdevIoctlClient *client, UMockdevIoctlData *arg)
{
    const gulong address = field<gulong>(arg, 0);
    auto urb = std::find_if(urbs_.begin(), urbs_.end(), [&](const Urb &u) {
        return u.client.get() == client && u.data->client_addr == address;
    });
    if (urb == urbs_.end() || urb->done) {
        complete(client, -EINVAL);
        return;
    }
    urb->done = true;
    urb->status = -ENOENT;  // libusb reports a cancelled transfer as its time-out
    complete(client, 0);
}

void UsbPort::deliver(Bytes answer)
{
    if (unplugged_ || stopped_) return;
    if (queued_bytes() + answer.size() > kMaxQueuedBytes) return;  // nobody reads: drop
    for (Bytes &packet :
         split_into_packets(answer, shared_.options.split, shared_.options.usb.in_packet_size)) {
        ready_packets_.push_back(std::move(packet));
    }
    fill_in_urbs();
    update_fifo();
}

// An IN transfer takes ready packets while they are full-sized and fit, as a
// host controller does; a short packet ends it.
void UsbPort::fill_in_urbs()
{
    const std::size_t max_packet = shared_.options.usb.in_packet_size;
    for (Urb &urb : urbs_) {
        if (ready_packets_.empty()) break;
        if (urb.done || urb.type != USBDEVFS_URB_TYPE_BULK || urb.endpoint != kBulkIn) continue;
        if (!connected(urb.client.get())) continue;
        Bytes got;
        std::size_t room = static_cast<std::size_t>(urb.buffer_length);
        while (!ready_packets_.empty() && room > 0) {
            Bytes &packet = ready_packets_.front();
            const std::size_t take = std::min(packet.size(), room);
            got.insert(got.end(), packet.begin(),
                       packet.begin() + static_cast<std::ptrdiff_t>(take));
            room -= take;
            if (take < packet.size()) {
                packet.erase(packet.begin(), packet.begin() + static_cast<std::ptrdiff_t>(take));
                break;
            }
            const bool full_sized = packet.size() == max_packet;
            ready_packets_.pop_front();
            if (!full_sized) break;
        }
        urb.done = true;
        urb.actual = static_cast<int>(got.size());
        shared_.transcript.data(shared_.usb_name.c_str(), false, got);
        urb.payload = std::move(got);
    }
}

// A killed client never reaps; its URBs must not take answers meant for the
// next one (umockdev 0.17.16 does not report the disconnect).
void UsbPort::drop_dead_clients()
{
    urbs_.remove_if([](const Urb &urb) { return !connected(urb.client.get()); });
    if (claimed_by_ && !connected(claimed_by_.get())) claimed_by_.reset();
}

void UsbPort::update_fifo()
{
    if (fifo_fd_ < 0) return;
    const bool reapable =
        unplugged_ || std::any_of(urbs_.begin(), urbs_.end(), [](const Urb &u) { return u.done; });
    std::uint8_t byte = 0;
    if (reapable && fifo_blocked_) {
        if (read(fifo_fd_, &byte, 1) == 1) fifo_blocked_ = false;
    } else if (!reapable && !fifo_blocked_) {
        if (write(fifo_fd_, &byte, 1) == 1) fifo_blocked_ = true;
    }
}

void UsbPort::unplug()
{
    {
        std::lock_guard lock(shared_.mutex);
        if (unplugged_) return;
        unplugged_ = true;
        link_.stop();
        ready_packets_.clear();
        for (Urb &urb : urbs_) {
            if (urb.done) continue;
            urb.done = true;
            urb.status = -ENODEV;
        }
        claimed_by_.reset();
        update_fifo();
        shared_.transcript.event(shared_.usb_name.c_str(), "unplugged");
    }
    testbed_.remove_device(Testbed::usb_sys_path(place_));
}

}  // namespace orvy::sim
