// Drives libOrvyApi through a scripted sequence of calls, one argument per
// call, and prints one result line per call. Tests run it under the printer
// simulator and read its output.
//
//   open:PORT               "open = <handle>"
//   write:HEX[:TIMEOUT]     "write = <count> (<ms> ms)"      HEX like 1D6101 or 1D-61-01
//   read:N[:TIMEOUT]        "read = <count> [<HEX>] (<ms> ms)"
//   clear                   "clear = <result> (<ms> ms)"
//   close                   "close (<ms> ms)"
//   serial:BAUD:DATA:PARITY:STOP   "serial = <result>"  (PARITY is one character)
//   handle:VALUE            use VALUE as the handle from now on (stale or foreign handles)
//   handle:@N               use the handle that the N-th open returned (1 = first)
//   mode:N                  set `communication`
//   debug:N                 set DEBUG_MESSAGES
//   sleep:MS                pause
//   state                   "state communication=.. write=0x.. read=0x.. size=.. interface=..
//                            ring=<set|none> top=.. bottom=.."
// Connections of orvy_api_conn_open (the verbs print the same result lines,
// with the code's orvy_api_strerror text after a failed open):
//   conn-open:PORT          "open = <code> (<ms> ms)", after a failure "# <text>[, errno <name>]";
//                           the new connection is the current one
//   conn-write:HEX[:TIMEOUT], conn-read:N[:TIMEOUT], conn-clear, conn-close
//   conn:@N                 use the N-th connection opened (1 = first)
// TIMEOUT defaults to 1000 ms.
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <string>
#include <vector>

#include "Orvy_Api.h"
#include "hex_text.h"
#include "script_step.h"

namespace {

using orvy::test::bytes_of_hex;
using orvy::test::hex_text;

unsigned long timeout_of(const std::vector<std::string> &parts, std::size_t index)
{
    return parts.size() > index ? std::stoul(parts[index]) : 1000UL;
}

class Stopwatch {
public:
    long elapsed_ms() const
    {
        return static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                     std::chrono::steady_clock::now() - start_)
                                     .count());
    }

private:
    std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
};

// The steps on connections; false for a step of no such verb.
bool connection_step(const std::string &step, const std::vector<std::string> &parts,
                     std::vector<orvy_api_conn *> &connections, orvy_api_conn *&conn)
{
    const std::string &verb = parts[0];
    if (verb == "conn-open" && parts.size() >= 2) {
        orvy_api_conn *opened = nullptr;
        errno = 0;
        Stopwatch watch;
        const int code = orvy_api_conn_open(step.substr(10).c_str(), &opened);
        const int error = errno;
        std::printf("open = %d (%ld ms)\n", code, watch.elapsed_ms());
        if (code == 0) {
            conn = opened;
            connections.push_back(opened);
        } else {
            std::printf("# %s%s%s\n", orvy_api_strerror(code), code == -1 ? ", errno " : "",
                        code == -1 ? strerrorname_np(error) : "");
        }
    } else if (verb == "conn-write" && parts.size() >= 2) {
        const auto bytes = bytes_of_hex(parts[1]);
        Stopwatch watch;
        const long sent =
            orvy_api_conn_write(conn, bytes.data(), bytes.size(), timeout_of(parts, 2));
        std::printf("write = %ld (%ld ms)\n", sent, watch.elapsed_ms());
    } else if (verb == "conn-read" && parts.size() >= 2) {
        const auto wanted = std::stoul(parts[1]);
        std::vector<unsigned char> buffer(wanted > 0 ? wanted : 1);
        Stopwatch watch;
        const long got = orvy_api_conn_read(conn, buffer.data(), wanted, timeout_of(parts, 2));
        const long ms = watch.elapsed_ms();
        std::printf("read = %ld [%s] (%ld ms)\n", got,
                    hex_text(buffer.data(), static_cast<std::size_t>(got > 0 ? got : 0)).c_str(),
                    ms);
    } else if (verb == "conn-clear") {
        Stopwatch watch;
        const int result = orvy_api_conn_clear(conn);
        std::printf("clear = %d (%ld ms)\n", result, watch.elapsed_ms());
    } else if (verb == "conn-close") {
        Stopwatch watch;
        orvy_api_conn_close(conn);
        std::erase(connections, conn);
        conn = nullptr;
        std::printf("close (%ld ms)\n", watch.elapsed_ms());
    } else if (verb == "conn" && parts.size() == 2 && parts[1].rfind('@', 0) == 0) {
        const auto n = std::stoul(parts[1].substr(1));
        if (n == 0 || n > connections.size()) throw std::out_of_range("no such connection");
        conn = connections[n - 1];
    } else {
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char **argv)
{
    intptr_t handle = -1;
    std::vector<intptr_t> opened;
    std::vector<orvy_api_conn *> connections;
    orvy_api_conn *conn = nullptr;
    for (int i = 1; i < argc; ++i) {
        const std::string step = argv[i];
        const auto parts = orvy::test::step_fields(step);
        const std::string &verb = parts[0];
        if (verb.rfind("conn", 0) == 0) {
            if (!connection_step(step, parts, connections, conn)) {
                std::fprintf(stderr, "orvy_api_probe: bad step \"%s\"\n", step.c_str());
                return 2;
            }
        } else if (verb == "open" && parts.size() >= 2) {
            std::string port = step.substr(5);
            handle = orvy_api_printer_open(port.data());
            opened.push_back(handle);
            std::printf("open = %ld\n", static_cast<long>(handle));
        } else if (verb == "write" && parts.size() >= 2) {
            auto bytes = bytes_of_hex(parts[1]);
            Stopwatch watch;
            const int sent =
                orvy_api_printer_write(handle, bytes.data(), static_cast<int>(bytes.size()),
                                       timeout_of(parts, 2));
            std::printf("write = %d (%ld ms)\n", sent, watch.elapsed_ms());
        } else if (verb == "read" && parts.size() >= 2) {
            const int wanted = std::stoi(parts[1]);
            std::vector<unsigned char> buffer(wanted > 0 ? static_cast<std::size_t>(wanted) : 1);
            Stopwatch watch;
            const int got =
                orvy_api_printer_read(handle, buffer.data(), wanted, timeout_of(parts, 2));
            const long ms = watch.elapsed_ms();
            const int shown = got > 0 ? got : 0;
            std::printf("read = %d [%s] (%ld ms)\n", got,
                        hex_text(buffer.data(), static_cast<std::size_t>(shown)).c_str(), ms);
        } else if (verb == "clear") {
            Stopwatch watch;
            const int result = orvy_api_printer_clear(handle);
            std::printf("clear = %d (%ld ms)\n", result, watch.elapsed_ms());
        } else if (verb == "close") {
            Stopwatch watch;
            orvy_api_printer_close(handle);
            std::printf("close (%ld ms)\n", watch.elapsed_ms());
        } else if (verb == "serial" && parts.size() == 5 && parts[3].size() == 1) {
            const int result =
                orvy_api_printer_set_serial(handle, std::stoul(parts[1]),
                                            static_cast<unsigned char>(std::stoul(parts[2])),
                                            static_cast<unsigned char>(parts[3][0]),
                                            static_cast<unsigned char>(std::stoul(parts[4])));
            std::printf("serial = %d\n", result);
        } else if (verb == "handle" && parts.size() == 2 && parts[1].rfind('@', 0) == 0) {
            const auto n = std::stoul(parts[1].substr(1));
            if (n == 0 || n > opened.size()) {
                std::fprintf(stderr, "orvy_api_probe: no open number %lu\n", n);
                return 2;
            }
            handle = opened[n - 1];
        } else if (verb == "handle" && parts.size() == 2) {
            handle = static_cast<intptr_t>(std::stoll(parts[1], nullptr, 0));
        } else if (verb == "mode" && parts.size() == 2) {
            communication = std::stoi(parts[1]);
        } else if (verb == "debug" && parts.size() == 2) {
            DEBUG_MESSAGES = std::stoi(parts[1]);
        } else if (verb == "sleep" && parts.size() == 2) {
            ::usleep(static_cast<useconds_t>(std::stoul(parts[1]) * 1000));
        } else if (verb == "state") {
            std::printf("state communication=%d write=0x%02X read=0x%02X size=%d interface=%d "
                        "ring=%s top=%d bottom=%d\n",
                        communication, ORVY_API_ACCESS_WRITE, ORVY_API_ACCESS_READ,
                        ORVY_API_ACCESS_READ_ENDPOINT_SIZE, ORVY_API_INTERFACE,
                        m_pub_rx_buffer ? "set" : "none", m_index_rx_top, m_index_rx_bottom);
        } else {
            std::fprintf(stderr, "orvy_api_probe: bad step \"%s\"\n", step.c_str());
            return 2;
        }
        std::fflush(stdout);
    }
    return 0;
}
