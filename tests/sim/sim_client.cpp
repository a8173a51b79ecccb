// A tiny printer client for the simulator's tests. It talks to the ports
// with libusb and termios directly (not through our libraries), so that the
// simulator is checked against the platform, not against our own code.
//
//   sim_client PORT STEP...
//
// PORT is /dev/bus/usb/BBB/DDD (libusb), or a device file (a name with
// "ttyS" gets serial settings only through the "stty" step). Steps, each
// printing one line:
//   w:HEX          write the bytes          -> "w <result> <count>"
//   r:N[:MS]       read N bytes within MS   -> "r <count> <HEX>"
//   in:SIZE[:MS]   one bulk IN transfer     -> "in <result> <count> <HEX>"
//   claim[:N], release, driver (kernel driver active), detach  -> "<step> <result>"
//   config:N       set configuration N, read it back -> "config <result> <value>"
//   fill:SIZE      device file: non-blocking write of SIZE blanks -> "fill <count>"
//   fionread       device file: ioctl FIONREAD -> "fionread <result> <count>"
//   excl           device file: ioctl TIOCEXCL -> "excl <result>"
//   desc           -> "desc VVVV:PPPP alts=N eps=81/64,02/64"
//   ctl:TYPE:REQ:VALUE:INDEX:LEN  control transfer, numbers in hex
//                  -> "ctl <result> <HEX of the data stage>"
//   stty           serial 115200 8N1, RTS/CTS, VMIN 0, VTIME 1 -> "stty <result>"
//   sleep:MS
#include <fcntl.h>
#include <libusb.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "hex_text.h"
#include "script_step.h"

namespace {

using Bytes = std::vector<unsigned char>;
using orvy::test::bytes_of_hex;
using orvy::test::hex_text;
using orvy::test::step_fields;

long now_ms()
{
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return t.tv_sec * 1000 + t.tv_nsec / 1000000;
}

struct Usb {
    libusb_context *context = nullptr;
    libusb_device_handle *handle = nullptr;
    int in_packet = 64;

    bool open(int bus, int address)
    {
        if (libusb_init(&context) != 0) return false;
        libusb_device **list = nullptr;
        const ssize_t count = libusb_get_device_list(context, &list);
        for (ssize_t i = 0; i < count; ++i) {
            if (libusb_get_bus_number(list[i]) == bus &&
                libusb_get_device_address(list[i]) == address) {
                libusb_config_descriptor *config = nullptr;
                if (libusb_get_active_config_descriptor(list[i], &config) == 0) {
                    const auto &alt = config->interface[0].altsetting[0];
                    for (int e = 0; e < alt.bNumEndpoints; ++e) {
                        if (alt.endpoint[e].bEndpointAddress & 0x80) {
                            in_packet = alt.endpoint[e].wMaxPacketSize;
                        }
                    }
                    libusb_free_config_descriptor(config);
                }
                if (libusb_open(list[i], &handle) != 0) handle = nullptr;
            }
        }
        if (count >= 0) libusb_free_device_list(list, 1);
        return handle != nullptr;
    }
    ~Usb()
    {
        if (handle) libusb_close(handle);
        if (context) libusb_exit(context);
    }
};

void describe(libusb_device *device)
{
    libusb_device_descriptor d{};
    libusb_get_device_descriptor(device, &d);
    libusb_config_descriptor *config = nullptr;
    std::string endpoints;
    int alts = 0;
    if (libusb_get_active_config_descriptor(device, &config) == 0) {
        alts = config->interface[0].num_altsetting;
        const auto &alt = config->interface[0].altsetting[0];
        for (int e = 0; e < alt.bNumEndpoints; ++e) {
            char text[32];
            std::snprintf(text, sizeof text, "%s%02X/%d", e ? "," : "",
                          alt.endpoint[e].bEndpointAddress, alt.endpoint[e].wMaxPacketSize);
            endpoints += text;
        }
        libusb_free_config_descriptor(config);
    }
    std::printf("desc %04x:%04x alts=%d eps=%s\n", d.idVendor, d.idProduct, alts,
                endpoints.c_str());
}

int run_usb(const std::string &port, const std::vector<std::string> &steps)
{
    int bus = 0, address = 0;
    if (std::sscanf(port.c_str(), "/dev/bus/usb/%d/%d", &bus, &address) != 2) return 2;
    Usb usb;
    if (!usb.open(bus, address)) {
        std::printf("open failed\n");
        return 2;
    }
    for (const std::string &step : steps) {
        const auto f = step_fields(step);
        if (f[0] == "w") {
            Bytes bytes = bytes_of_hex(f.at(1));
            int done = 0;
            const int rc =
                libusb_bulk_transfer(usb.handle, 0x02, bytes.data(), static_cast<int>(bytes.size()),
                                     &done, f.size() > 2 ? std::atoi(f[2].c_str()) : 1000);
            std::printf("w %d %d\n", rc, done);
        } else if (f[0] == "r") {
            const int want = std::atoi(f.at(1).c_str());
            const long limit = now_ms() + (f.size() > 2 ? std::atol(f[2].c_str()) : 1000);
            Bytes got;
            while (static_cast<int>(got.size()) < want && now_ms() < limit) {
                unsigned char packet[1024];
                int done = 0;
                libusb_bulk_transfer(usb.handle, 0x81, packet, usb.in_packet, &done, 100);
                got.insert(got.end(), packet, packet + done);
            }
            std::printf("r %zu %s\n", got.size(), hex_text(got).c_str());
        } else if (f[0] == "in") {
            Bytes buffer(static_cast<std::size_t>(std::atoi(f.at(1).c_str())));
            int done = 0;
            const int rc = libusb_bulk_transfer(usb.handle, 0x81, buffer.data(),
                                                static_cast<int>(buffer.size()), &done,
                                                f.size() > 2 ? std::atoi(f[2].c_str()) : 100);
            std::printf("in %d %d %s\n", rc, done,
                        hex_text(buffer.data(), static_cast<std::size_t>(done)).c_str());
        } else if (f[0] == "claim") {
            std::printf("claim %d\n",
                        libusb_claim_interface(usb.handle,
                                               f.size() > 1 ? std::atoi(f[1].c_str()) : 0));
        } else if (f[0] == "release") {
            std::printf("release %d\n", libusb_release_interface(usb.handle, 0));
        } else if (f[0] == "driver") {
            std::printf("driver %d\n", libusb_kernel_driver_active(usb.handle, 0));
        } else if (f[0] == "detach") {
            std::printf("detach %d\n", libusb_detach_kernel_driver(usb.handle, 0));
        } else if (f[0] == "config") {
            const int rc = libusb_set_configuration(usb.handle, std::atoi(f.at(1).c_str()));
            int value = -1;
            libusb_get_configuration(usb.handle, &value);
            std::printf("config %d %d\n", rc, value);
        } else if (f[0] == "desc") {
            describe(libusb_get_device(usb.handle));
        } else if (f[0] == "ctl") {
            const auto number = [&](std::size_t i) {
                return static_cast<unsigned>(std::strtoul(f.at(i).c_str(), nullptr, 16));
            };
            Bytes data(number(5));
            const int rc =
                libusb_control_transfer(usb.handle, static_cast<std::uint8_t>(number(1)),
                                        static_cast<std::uint8_t>(number(2)),
                                        static_cast<std::uint16_t>(number(3)),
                                        static_cast<std::uint16_t>(number(4)), data.data(),
                                        static_cast<std::uint16_t>(data.size()), 1000);
            if (rc > 0) data.resize(static_cast<std::size_t>(rc));
            std::printf("ctl %d %s\n", rc, rc > 0 ? hex_text(data).c_str() : "");
        } else if (f[0] == "sleep") {
            usleep(static_cast<useconds_t>(std::atoi(f.at(1).c_str())) * 1000);
        } else {
            std::printf("unknown step %s\n", step.c_str());
            return 2;
        }
        std::fflush(stdout);
    }
    return 0;
}

int run_file(const std::string &port, const std::vector<std::string> &steps)
{
    const int fd = open(port.c_str(), O_RDWR | O_NOCTTY);
    if (fd < 0) {
        std::printf("open failed %s\n", std::strerror(errno));
        return 2;
    }
    for (const std::string &step : steps) {
        const auto f = step_fields(step);
        if (f[0] == "w") {
            Bytes bytes = bytes_of_hex(f.at(1));
            const ssize_t done = write(fd, bytes.data(), bytes.size());
            std::printf("w %d %zd\n", done < 0 ? -errno : 0, done < 0 ? 0 : done);
        } else if (f[0] == "r") {
            const int want = std::atoi(f.at(1).c_str());
            const long limit = now_ms() + (f.size() > 2 ? std::atol(f[2].c_str()) : 1000);
            Bytes got;
            while (static_cast<int>(got.size()) < want) {
                const long left = limit - now_ms();
                pollfd p{fd, POLLIN, 0};
                if (left <= 0 || poll(&p, 1, static_cast<int>(left)) <= 0) break;
                unsigned char chunk[512];
                const ssize_t n =
                    read(fd, chunk, std::min<std::size_t>(sizeof chunk, want - got.size()));
                if (n <= 0) break;
                got.insert(got.end(), chunk, chunk + n);
            }
            std::printf("r %zu %s\n", got.size(), hex_text(got).c_str());
        } else if (f[0] == "fill") {
            const std::size_t size = static_cast<std::size_t>(std::atol(f.at(1).c_str()));
            const Bytes blanks(size, ' ');
            const int flags = fcntl(fd, F_GETFL);
            fcntl(fd, F_SETFL, flags | O_NONBLOCK);
            std::size_t done = 0;
            while (done < size) {
                const ssize_t n = write(fd, blanks.data() + done, size - done);
                if (n <= 0) break;
                done += static_cast<std::size_t>(n);
            }
            fcntl(fd, F_SETFL, flags);
            std::printf("fill %zu\n", done);
        } else if (f[0] == "fionread") {
            int count = -1;
            const int rc = ioctl(fd, FIONREAD, &count);
            std::printf("fionread %d %d\n", rc < 0 ? -errno : rc, count);
        } else if (f[0] == "excl") {
            const int rc = ioctl(fd, TIOCEXCL);
            std::printf("excl %d\n", rc < 0 ? -errno : rc);
        } else if (f[0] == "stty") {
            termios t{};
            t.c_iflag = IGNPAR;
            t.c_cflag = CRTSCTS | CLOCAL | CREAD | CS8;
            cfsetispeed(&t, B115200);
            cfsetospeed(&t, B115200);
            t.c_cc[VTIME] = 1;
            t.c_cc[VMIN] = 0;
            tcflush(fd, TCIFLUSH);
            std::printf("stty %d\n", tcsetattr(fd, TCSANOW, &t));
        } else if (f[0] == "sleep") {
            usleep(static_cast<useconds_t>(std::atoi(f.at(1).c_str())) * 1000);
        } else {
            std::printf("unknown step %s\n", step.c_str());
            return 2;
        }
        std::fflush(stdout);
    }
    close(fd);
    return 0;
}

}  // namespace

int main(int argc, char **argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s PORT STEP...\n", argv[0]);
        return 2;
    }
    const std::string port = argv[1];
    const std::vector<std::string> steps(argv + 2, argv + argc);
    if (port.rfind("/dev/bus/usb/", 0) == 0) return run_usb(port, steps);
    return run_file(port, steps);
}
