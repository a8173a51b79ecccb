// A connection's printer on the device-file transport: its own descriptor.
#include <cerrno>

#include "device_file_io.h"
#include "error_codes.h"
#include "printer_link.h"

namespace orvy::api {
namespace {

class DeviceFileLink final : public PrinterLink {
public:
    explicit DeviceFileLink(int fd) : fd_(fd) {}
    ~DeviceFileLink() override { close_device_file(fd_); }
    DeviceFileLink(const DeviceFileLink &) = delete;
    DeviceFileLink &operator=(const DeviceFileLink &) = delete;

    long write(const unsigned char *data, std::size_t size, unsigned long timeout_ms) override
    {
        if (gone_) return kPrinterGone;
        return outcome(write_within(fd_, data, size, timeout_ms, OnGone::stop));
    }
    long read(unsigned char *data, std::size_t size, unsigned long timeout_ms) override
    {
        if (gone_) return kPrinterGone;
        return outcome(read_within(fd_, data, size, timeout_ms, OnGone::stop));
    }
    int clear() override
    {
        if (gone_ || discard_input(fd_, OnGone::stop)) gone_ = true;
        return gone_ ? kPrinterGone : 0;
    }

private:
    long outcome(FileMoved moved)
    {
        if (moved.gone) gone_ = true;
        if (moved.count > 0 || !moved.gone) return static_cast<long>(moved.count);
        return kPrinterGone;
    }

    int fd_;
    bool gone_ = false;
};

}  // namespace

int open_device_file_link(const char *port, std::unique_ptr<PrinterLink> &link)
{
    const int fd = open_device_file(port);
    if (fd < 0) return kCannotOpen;
    try {
        link = std::make_unique<DeviceFileLink>(fd);
    } catch (...) {
        const int kept = errno;
        close_device_file(fd);
        errno = kept;
        return kNoRingStorage;
    }
    return 0;
}

}  // namespace orvy::api
