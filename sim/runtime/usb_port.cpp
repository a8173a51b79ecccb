#include "usb_port.h"

#include <fcntl.h>
#include <sys/ioctl.h>
// after sys/ioctl.h, which defines the _IO macros it uses
#include <linux/usbdevice_fs.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstddef>
#include <cstring>

#include "answer_shaping.h"
#include "printer_class.h"
#include "usb_descriptors.h"

namespace orvy::sim {

namespace {

constexpr std::size_t kMaxQueuedBytes = 64 * 1024;  // answers and babble nobody reads

// Whole inquiries (1D 61 n) and nothing else.
bool only_inquiries(const std::uint8_t *data, std::size_t size)
{
    if (size == 0 || size % 3 != 0) return false;
    for (std::size_t i = 0; i < size; i += 3) {
        if (data[i] != 0x1D || data[i + 1] != 0x61) return false;
    }
    return true;
}

// The ioctl's argument struct, copied in and, when changed, out again.
template <typename T>
bool read_arg(IoctlCall &call, T &value)
{
    return call.read(call.arg(), &value, sizeof value);
}

// One field of a struct held as bytes.
template <typename T, std::size_t N>
T urb_field(const std::array<unsigned char, N> &bytes, std::size_t offset)
{
    T value{};
    std::memcpy(&value, bytes.data() + offset, sizeof value);
    return value;
}

}  // namespace

UsbPort::UsbPort(SharedPrinter &shared, Testbed &testbed, UsbPlace place)
    : shared_(shared), testbed_(testbed), place_(place),
      link_(shared, shared.usb_name.c_str(), [this](const Bytes &answer) { deliver(answer); })
{
    kernel_driver_attached_ = shared.options.kernel_driver != KernelDriver::None;
    claim_refusals_left_ = shared.options.claim_busy;
    std::lock_guard lock(shared.mutex);
    shared.engine.add_waiter(this);
}

UsbPort::~UsbPort()
{
    server_.reset();  // its thread ends before the port's state goes
    {
        std::lock_guard lock(shared_.mutex);
        shared_.engine.remove_waiter(this);
    }
    if (fifo_fd_ >= 0) close(fifo_fd_);
}

bool UsbPort::create(std::string &error)
{
    // The socket must exist before the node does: the preload library looks
    // for it when the node is opened.
    server_ = std::make_unique<IoctlServer>([this](unsigned client,
                                                   IoctlCall &call) { handle_ioctl(client, call); },
                                            [this](unsigned client) { client_closed(client); });
    if (!server_->start(testbed_.ioctl_socket_path(Testbed::usb_node(place_)), error)) return false;
    if (!testbed_.add_usb_printer(shared_.options.usb, place_, error)) return false;

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

void UsbPort::handle_ioctl(unsigned client, IoctlCall &call)
{
    std::lock_guard lock(shared_.mutex);
    // A client may have opened the node before it ever made a call.
    clients_.insert(client);
    const unsigned long request = call.request();
    if (request == USBDEVFS_SUBMITURB) {
        submit(client, call);
    } else if (request == USBDEVFS_REAPURBNDELAY || request == USBDEVFS_REAPURB) {
        reap(client, call);
    } else if (request == USBDEVFS_DISCARDURB) {
        discard(client, call);
    } else if (unplugged_) {
        call.complete(-ENODEV);
    } else {
        call.complete(other_ioctl(client, call));
    }
    update_fifo();
}

// A client that closed the node, or died: its URBs go and its claim ends,
// so that they cannot take answers meant for the next one.
void UsbPort::client_closed(unsigned client)
{
    std::lock_guard lock(shared_.mutex);
    clients_.erase(client);
    urbs_.remove_if([client](const Urb &urb) { return urb.client == client; });
    if (claimed_by_ == client) claimed_by_ = 0;
    update_fifo();
}

long UsbPort::other_ioctl(unsigned client, IoctlCall &call)
{
    const unsigned long request = call.request();
    // The argument struct is copied in whole and written back when changed,
    // whatever its direction bits say (GETDRIVER is _IOW, yet fills in the
    // driver's name).
    std::uint8_t data[512] = {};
    const std::size_t size = _IOC_SIZE(request);
    if (size > sizeof data) return -ENOTTY;
    if (size > 0 && !call.read(call.arg(), data, size)) return -EFAULT;
    std::uint8_t original[sizeof data];
    std::memcpy(original, data, size);
    const auto word = [&](std::size_t offset) {
        unsigned value = 0;
        std::memcpy(&value, data + offset, sizeof value);
        return value;
    };
    long result = -ENOTTY;
    switch (request) {
    case USBDEVFS_GET_CAPABILITIES: {
        const std::uint32_t caps = USBDEVFS_CAP_ZERO_PACKET | USBDEVFS_CAP_BULK_CONTINUATION |
                                   USBDEVFS_CAP_NO_PACKET_SIZE_LIM;
        std::memcpy(data, &caps, sizeof caps);
        result = 0;
        break;
    }
    case USBDEVFS_CLAIMINTERFACE: result = claim(client, word(0)); break;
    case USBDEVFS_RELEASEINTERFACE: result = release(client, word(0)); break;
    case USBDEVFS_GETDRIVER: result = get_driver(client, data); break;
    case USBDEVFS_IOCTL: result = usbfs_ioctl(data); break;
    case USBDEVFS_SETCONFIGURATION:
        result = claimed_by_other(client) ? -EBUSY : set_configuration(word(0));
        break;
    case USBDEVFS_SETINTERFACE:
        result = word(0) == 0 && word(4) < shared_.options.usb.alt_settings ? 0 : -EINVAL;
        break;
    case USBDEVFS_CLEAR_HALT:
    case USBDEVFS_RESETEP:
    case USBDEVFS_RESET: result = 0; break;
    case USBDEVFS_GET_SPEED: result = 2; break;  // full speed
    case USBDEVFS_CONNECTINFO: {
        const unsigned device_number = 11;
        std::memcpy(data, &device_number, sizeof device_number);
        result = 0;
        break;
    }
    default: break;
    }
    if (result >= 0 && size > 0 && std::memcmp(original, data, size) != 0 &&
        !call.write(call.arg(), data, size)) {
        return -EFAULT;
    }
    return result;
}

void UsbPort::submit(unsigned client, IoctlCall &call)
{
    Urb urb;
    urb.client = client;
    urb.address = call.arg();
    // The URB's fixed part as bytes: struct usbdevfs_urb ends in a
    // zero-length array, which is no standard C++ type for a variable.
    std::array<unsigned char, offsetof(usbdevfs_urb, iso_frame_desc)> header{};
    if (!call.read(call.arg(), header.data(), header.size())) {
        call.complete(-EFAULT);
        return;
    }
    if (unplugged_) {
        call.complete(-ENODEV);
        return;
    }
    urb.type = urb_field<unsigned char>(header, offsetof(usbdevfs_urb, type));
    urb.endpoint = urb_field<unsigned char>(header, offsetof(usbdevfs_urb, endpoint));
    urb.buffer_length = urb_field<int>(header, offsetof(usbdevfs_urb, buffer_length));
    urb.buffer =
        reinterpret_cast<std::uintptr_t>(urb_field<void *>(header, offsetof(usbdevfs_urb, buffer)));
    // An IN buffer is written when the URB is reaped; its contents do not matter.
    const bool in_data = urb.type != USBDEVFS_URB_TYPE_CONTROL && (urb.endpoint & 0x80) != 0;
    if (urb.buffer_length > 0 && !in_data) {
        urb.sent.resize(static_cast<std::size_t>(urb.buffer_length));
        if (!call.read(urb.buffer, urb.sent.data(), urb.sent.size())) {
            call.complete(-EFAULT);
            return;
        }
    }
    const UsbShape &shape = shared_.options.usb;
    const bool control = urb.type == USBDEVFS_URB_TYPE_CONTROL && urb.endpoint == 0;
    const bool bulk = urb.type == USBDEVFS_URB_TYPE_BULK;
    const bool in = bulk && urb.endpoint == kBulkIn;
    const bool out = bulk && urb.endpoint == kBulkOut && shape.endpoints > 1;
    if (!control && !in && !out) {
        call.complete(-ENOENT);  // no such endpoint
        return;
    }
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
    call.complete(0);
    fill_in_urbs();
}

void UsbPort::control_transfer(Urb &urb)
{
    urb.done = true;
    if (urb.buffer_length < 8) {
        urb.status = -EINVAL;
        return;
    }
    const SetupPacket setup = setup_packet_of(urb.sent.data());
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

bool UsbPort::paper_empty() const
{
    return shared_.options.paper_out || shared_.printer.paper_empty();
}

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
    if (o.paper_out) {
        urb.held = true;  // stays in flight until the client gives up
        return;
    }
    if (o.out_partial && !first_out_done_) {
        // The printer takes a part, then stalls the rest until the time-out.
        first_out_done_ = true;
        urb.held = true;
        const std::size_t length =
            std::min(static_cast<std::size_t>(urb.buffer_length), *o.out_partial);
        urb.actual = static_cast<int>(length);
        link_.host_sent(urb.sent.data(), length);
        return;
    }
    first_out_done_ = true;
    if (!out_waiting_before(urb)) take_out_data(urb);
}

// The printer takes whole packets while its buffer has room for them; the
// rest of the transfer is not acknowledged and waits, as on the bus. A
// transfer of nothing but inquiries is taken even then: the printer answers
// status requests apart from its print data, so a host can learn why its
// data waits (paper out).
void UsbPort::take_out_data(Urb &urb)
{
    const auto length = static_cast<std::size_t>(urb.buffer_length);
    const auto done = static_cast<std::size_t>(urb.actual);
    std::size_t fits = shared_.engine.fitting(length - done, shared_.options.usb.out_packet_size);
    if (fits == 0 && done == 0 && length <= shared_.options.usb.out_packet_size &&
        only_inquiries(urb.sent.data(), length)) {
        fits = length;
    }
    // Taking bytes may drain the buffer and call room_freed(): not again now.
    taking_ = true;
    if (fits > 0) link_.host_sent(urb.sent.data() + done, fits);
    taking_ = false;
    urb.actual = static_cast<int>(done + fits);
    urb.done = done + fits == length;
}

bool UsbPort::out_waiting_before(const Urb &urb) const
{
    for (const Urb &other : urbs_) {
        if (&other == &urb) return false;
        if (!other.done && !other.held && other.type == USBDEVFS_URB_TYPE_BULK &&
            other.endpoint == kBulkOut) {
            return true;
        }
    }
    return false;
}

void UsbPort::room_freed()
{
    if (unplugged_ || taking_) return;
    bool completed = false;
    for (Urb &urb : urbs_) {
        if (urb.done || urb.held || urb.type != USBDEVFS_URB_TYPE_BULK ||
            urb.endpoint != kBulkOut) {
            continue;
        }
        if (!connected(urb.client)) continue;
        take_out_data(urb);
        completed = completed || urb.done;
        if (!urb.done) break;  // later transfers wait behind this one
    }
    if (completed) update_fifo();
}

// Status and length into the client's URB, its data into the buffer, the
// URB's address into the client's pointer.
void UsbPort::reap(unsigned client, IoctlCall &call)
{
    auto urb = std::find_if(urbs_.begin(), urbs_.end(),
                            [client](const Urb &u) { return u.done && u.client == client; });
    if (urb == urbs_.end()) {
        call.complete(unplugged_ ? -ENODEV : -EAGAIN);
        return;
    }
    const std::size_t room =
        static_cast<std::size_t>(std::max(urb->buffer_length, 0)) - urb->payload_offset;
    const std::uintptr_t address = urb->address;
    const bool written =
        call.write(address + offsetof(usbdevfs_urb, status), &urb->status, sizeof(int)) &&
        call.write(address + offsetof(usbdevfs_urb, actual_length), &urb->actual, sizeof(int)) &&
        call.write(urb->buffer + urb->payload_offset, urb->payload.data(),
                   std::min(room, urb->payload.size())) &&
        call.write(call.arg(), &address, sizeof(void *));
    call.complete(written ? 0 : -EFAULT);
    urbs_.erase(urb);
}

void UsbPort::discard(unsigned client, IoctlCall &call)
{
    const std::uintptr_t address = call.arg();
    auto urb = std::find_if(urbs_.begin(), urbs_.end(), [&](const Urb &u) {
        return u.client == client && u.address == address;
    });
    if (urb == urbs_.end() || urb->done) {
        call.complete(-EINVAL);
        return;
    }
    urb->done = true;
    urb->status = -ENOENT;  // libusb reports a cancelled transfer as its time-out
    call.complete(0);
}

void UsbPort::deliver(const Bytes &answer)
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
        if (!connected(urb.client)) continue;
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
        claimed_by_ = 0;
        update_fifo();
        shared_.transcript.event(shared_.usb_name.c_str(), "unplugged");
    }
    testbed_.remove_device(Testbed::usb_sys_path(place_));
}

}  // namespace orvy::sim
