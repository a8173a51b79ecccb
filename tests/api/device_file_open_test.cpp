// Transport choice by port name, open error codes and the descriptor open hands out.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>
#include <fstream>
#include <iterator>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "Orvy_Api.h"
#include "device_file_pty.h"

namespace {

using orvy::test::kGenerousMarginMs;
using orvy::test::PortDir;
using orvy::test::PtyPair;
using orvy::test::Stopwatch;

// What an earlier open in the same process did before the case's own open.
enum class Earlier { None, DeviceFileOpened, DeviceFileMissing };

enum class Expect { Descriptor, Code };

struct OpenCase {
    const char *name;
    Earlier earlier;
    const char *port;  // relative to a scratch directory; nullptr: no name at all
    bool port_exists;  // a link to the pty slave
    Expect expect;
    int code;        // for Expect::Code
    int mode_after;  // `communication` afterwards
    bool serial;     // the line settings were applied
};
void PrintTo(const OpenCase &c, std::ostream *out) { *out << c.name; }

const OpenCase kOpenCases[] = {
    {"NoName", Earlier::None, nullptr, false, Expect::Code, -2, 0, false},
    {"UnknownFormFirst", Earlier::None, "printer", true, Expect::Code, -2, 0, false},
    {"UpperCaseLpIsNoKnownForm", Earlier::None, "dev/usb/LP0", true, Expect::Code, -2, 0, false},
    {"UnknownFormAfterDeviceFileOpen", Earlier::DeviceFileOpened, "printer", true,
     Expect::Descriptor, 0, 1, false},
    {"UnknownFormAfterFailedDeviceFileOpen", Earlier::DeviceFileMissing, "printer", true,
     Expect::Descriptor, 0, 1, false},
    {"MissingLpFile", Earlier::None, "dev/usb/lp7", false, Expect::Code, -1, 1, false},
    {"MissingSerialPort", Earlier::None, "dev/ttyS9", false, Expect::Code, -1, 1, false},
    {"MissingUnknownFormAfterDeviceFileOpen", Earlier::DeviceFileOpened, "printer", false,
     Expect::Code, -1, 1, false},
    {"PrinterClassDevice", Earlier::None, "dev/usb/lp0", true, Expect::Descriptor, 0, 1, false},
    {"SerialPort", Earlier::None, "dev/ttyS1", true, Expect::Descriptor, 0, 1, true},
    {"SerialPortAnyCase", Earlier::None, "dev/TTYS0", true, Expect::Descriptor, 0, 1, true},
    {"SerialPortMixedCase", Earlier::None, "dev/Ttys1", true, Expect::Descriptor, 0, 1, true},
};

class OpenByName : public ::testing::TestWithParam<OpenCase> {
protected:
    void SetUp() override
    {
        communication = 0;  // as in a fresh process, also when run without CTest
        pty_.make_slave_raw();
    }
    void TearDown() override { communication = 0; }

    void run_earlier(Earlier earlier)
    {
        if (earlier == Earlier::DeviceFileOpened) {
            std::string name = ports_.link("dev/usb/lp1", pty_.slave_name());
            const intptr_t handle = orvy_api_printer_open(name.data());
            ASSERT_GE(handle, 0);
            orvy_api_printer_close(handle);
        } else if (earlier == Earlier::DeviceFileMissing) {
            std::string name = ports_.path("dev/usb/lp5");
            ASSERT_EQ(orvy_api_printer_open(name.data()), -1);
        }
    }

    PtyPair pty_;
    PortDir ports_;
};

TEST_P(OpenByName, ChoosesTheTransportAndReportsTheCode)
{
    const auto &c = GetParam();
    ASSERT_NO_FATAL_FAILURE(run_earlier(c.earlier));

    std::optional<std::string> port;
    if (c.port != nullptr) {
        port = c.port_exists ? ports_.link(c.port, pty_.slave_name()) : ports_.path(c.port);
    }
    const std::string port_before = port.value_or("");

    const intptr_t handle = orvy_api_printer_open(port ? port->data() : nullptr);

    if (c.expect == Expect::Code) {
        EXPECT_EQ(handle, c.code);
    } else {
        ASSERT_GE(handle, 0);
        ASSERT_LE(handle, INT_MAX);
        const int flags = ::fcntl(static_cast<int>(handle), F_GETFL);
        EXPECT_EQ(flags & O_ACCMODE, O_RDWR);
        EXPECT_NE(flags & O_NONBLOCK, 0) << "transfers must never block";
    }
    EXPECT_EQ(communication, c.mode_after);
    if (port) {
        EXPECT_EQ(*port, port_before) << "the port name must not change";
    }

    struct termios now {};
    ASSERT_EQ(::tcgetattr(pty_.slave(), &now), 0);
    if (c.serial) {
        EXPECT_EQ(now.c_cflag & CRTSCTS, static_cast<tcflag_t>(CRTSCTS));
        EXPECT_EQ(::cfgetospeed(&now), static_cast<speed_t>(B115200));
        EXPECT_EQ(now.c_cc[VMIN], 0);
        EXPECT_EQ(now.c_cc[VTIME], 1);
    } else {
        EXPECT_EQ(now.c_cc[VMIN], 1) << "a printer-class device gets no line settings";
        EXPECT_EQ(now.c_cflag & CRTSCTS, 0u);
    }

    if (handle >= 0) orvy_api_printer_close(handle);
}

INSTANTIATE_TEST_SUITE_P(Table, OpenByName, ::testing::ValuesIn(kOpenCases),
                         [](const auto &info) { return std::string(info.param.name); });

TEST(OpenSerialPort, DiscardsWhatArrivedBeforeTheOpen)
{
    communication = 0;
    PtyPair pty;
    pty.make_slave_raw();
    PortDir ports;
    std::string name = ports.link("dev/ttyS1", pty.slave_name());
    pty.send({0x10, 0x20, 0x30});
    ASSERT_TRUE(pty.slave_has_input());

    const intptr_t handle = orvy_api_printer_open(name.data());
    ASSERT_GE(handle, 0);
    EXPECT_EQ(pty.slave_input_count(), 0);
    orvy_api_printer_close(handle);
    communication = 0;
}

// The port is this process's alone: another process is refused at once and
// leaves the port as it was, while this process may open it again unclosed.
TEST(ExclusivePort, AnotherProcessIsRefusedAndThisOneMayReopen)
{
    communication = 0;
    PtyPair pty;
    pty.make_slave_raw();
    PortDir ports;
    std::string name = ports.link("dev/ttyS1", pty.slave_name());
    const intptr_t first = orvy_api_printer_open(name.data());
    ASSERT_GE(first, 0);
    const int fd = static_cast<int>(first);
    EXPECT_NE(::fcntl(fd, F_GETFD) & FD_CLOEXEC, 0);
    EXPECT_NE(::fcntl(fd, F_GETFL) & O_NONBLOCK, 0);
    int exclusive = 1;
    ASSERT_EQ(::ioctl(pty.slave(), TIOCGEXCL, &exclusive), 0);
    EXPECT_EQ(exclusive, 0) << "exclusive mode would outlive a crashed holder";
    pty.send({0x55});
    ASSERT_TRUE(pty.slave_has_input());

    const pid_t child = ::fork();
    if (child == 0) {
        Stopwatch watch;
        const intptr_t refused = orvy_api_printer_open(name.data());
        const bool as_expected =
            refused == -1 && errno == EBUSY && watch.elapsed_ms() < kGenerousMarginMs;
        ::_exit(as_expected ? 0 : 1);
    }
    int status = -1;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
        << "the second process must get -1 and EBUSY at once";
    EXPECT_EQ(pty.slave_input_count(), 1) << "the refused opener must leave the port alone";

    Stopwatch watch;
    const intptr_t again = orvy_api_printer_open(name.data());
    EXPECT_LT(watch.elapsed_ms(), kGenerousMarginMs);
    ASSERT_GE(again, 0);
    unsigned char request[3] = {0x1D, 0x61, 0x01};
    EXPECT_EQ(orvy_api_printer_write(again, request, 3, 1000), 3);
    EXPECT_EQ(pty.received(), (orvy::test::Bytes{0x1D, 0x61, 0x01}));
    orvy_api_printer_close(again);
    communication = 0;
}

// Only a device is a port: a regular file or a FIFO, by a name
// of the known forms or by any name after a device-file open, is refused
// with -1 (errno ENODEV) and nothing is written to it.
TEST(OpenNotADevice, IsRefusedAndLeftUntouched)
{
    PtyPair pty;
    PortDir ports;
    const std::string file = ports.path("printer.txt");
    {
        std::ofstream(file) << "notes\n";
    }
    const std::string fifo = ports.path("fifo");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    std::string lp = ports.link("dev/usb/lp0", pty.slave_name());
    // Plain names first: a name of a known form chooses the device-file
    // transport even when its open fails.
    std::vector<std::string> names = {file, fifo, ports.link("dev/usb/lp3", file),
                                      ports.link("dev/ttyS3", fifo)};
    for (bool after_device_open : {false, true}) {
        communication = 0;
        if (after_device_open) {
            const intptr_t device = orvy_api_printer_open(lp.data());
            ASSERT_GE(device, 0);
            orvy_api_printer_close(device);
        }
        for (std::string name : names) {
            errno = 0;
            const intptr_t handle = orvy_api_printer_open(name.data());
            const bool known_form = name.find("/dev/") != std::string::npos;
            if (!after_device_open && !known_form) {
                EXPECT_EQ(handle, -2) << name;
                continue;
            }
            EXPECT_EQ(handle, -1) << name;
            EXPECT_EQ(errno, ENODEV) << name;
            if (handle >= 0) orvy_api_printer_close(handle);
        }
    }
    std::ifstream in(file);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "notes\n");
    communication = 0;
}

}  // namespace
