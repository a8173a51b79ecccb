// Drives connections of libOrvyApi from several threads at once and prints
// what it saw, one "key=value" line per scenario. Tests run it under the
// printer simulator.
//
//   independent PORT_A PORT_B   thread A waits 1000 ms for bytes nobody asked
//                               for on A; thread B makes a status inquiry on
//                               B meanwhile: "b_done_first=1 b_ok=1"
//   serialised PORT             thread A waits 1000 ms on the connection;
//                               thread B writes on the same connection 100 ms
//                               later: "b_after_a=1 b_sent=3"
//   shared PORT READERS         the six inquiries sent at once, their answers
//                               read by READERS threads in 7-byte pieces from
//                               the one connection: "bytes=410 same_bytes=1"
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "Orvy_Api.h"

namespace {

using Clock = std::chrono::steady_clock;
using Bytes = std::vector<unsigned char>;

constexpr unsigned char kInquiryCodes[] = {0x01, 0x02, 0x04, 0x08, 0x10, 0x20};
constexpr std::size_t kRecordSizes[] = {14, 109, 35, 163, 26, 39};

orvy_api_conn *open_or_die(const char *port)
{
    orvy_api_conn *conn = nullptr;
    if (const int code = orvy_api_conn_open(port, &conn); code != 0) {
        std::printf("open %s = %d\n", port, code);
        std::exit(1);
    }
    return conn;
}

bool status_inquiry(orvy_api_conn *conn)
{
    const unsigned char request[] = {0x1D, 0x61, 0x01};
    unsigned char answer[18] = {};
    return orvy_api_conn_clear(conn) == 0 &&
           orvy_api_conn_write(conn, request, sizeof request, 1000) == 3 &&
           orvy_api_conn_read(conn, answer, sizeof answer, 1000) == 18 && answer[0] == 0x1B &&
           answer[1] == 0xFF && answer[2] == 0x02 && answer[3] == 14;
}

int independent(const char *port_a, const char *port_b)
{
    orvy_api_conn *a = open_or_die(port_a);
    orvy_api_conn *b = open_or_die(port_b);
    Clock::time_point a_done;
    Clock::time_point b_done;
    bool b_ok = false;
    std::thread waiting([&] {
        unsigned char nothing[4];
        (void)orvy_api_conn_read(a, nothing, sizeof nothing, 1000);
        a_done = Clock::now();
    });
    std::thread asking([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        b_ok = status_inquiry(b);
        b_done = Clock::now();
    });
    waiting.join();
    asking.join();
    std::printf("b_done_first=%d b_ok=%d\n", b_done < a_done ? 1 : 0, b_ok ? 1 : 0);
    orvy_api_conn_close(a);
    orvy_api_conn_close(b);
    return 0;
}

int serialised(const char *port)
{
    orvy_api_conn *conn = open_or_die(port);
    Clock::time_point a_done;
    Clock::time_point b_done;
    long b_sent = 0;
    std::thread waiting([&] {
        unsigned char nothing[4];
        (void)orvy_api_conn_read(conn, nothing, sizeof nothing, 1000);
        a_done = Clock::now();
    });
    std::thread writing([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        const unsigned char request[] = {0x1D, 0x61, 0x01};
        b_sent = orvy_api_conn_write(conn, request, sizeof request, 1000);
        b_done = Clock::now();
    });
    waiting.join();
    writing.join();
    std::printf("b_after_a=%d b_sent=%ld\n", b_done >= a_done ? 1 : 0, b_sent);
    orvy_api_conn_close(conn);
    return 0;
}

// The answers to the six inquiries, read by `readers` threads in 7-byte
// pieces. Pieces of different threads are collected in any order.
Bytes answers_read_by(orvy_api_conn *conn, int readers)
{
    (void)orvy_api_conn_clear(conn);
    Bytes requests;
    std::size_t expected = 0;
    for (std::size_t i = 0; i < sizeof kInquiryCodes; ++i) {
        requests.insert(requests.end(), {0x1D, 0x61, kInquiryCodes[i]});
        expected += 4 + kRecordSizes[i];
    }
    std::mutex lock;
    Bytes received;
    std::vector<std::thread> threads;
    for (int t = 0; t < readers; ++t) {
        threads.emplace_back([&] {
            const auto give_up = Clock::now() + std::chrono::seconds(5);
            for (;;) {
                {
                    const std::lock_guard guard(lock);
                    if (received.size() >= expected || Clock::now() > give_up) return;
                }
                unsigned char piece[7];
                const long got = orvy_api_conn_read(conn, piece, sizeof piece, 20);
                const std::lock_guard guard(lock);
                if (got > 0) received.insert(received.end(), piece, piece + got);
            }
        });
    }
    (void)orvy_api_conn_write(conn, requests.data(), requests.size(), 1000);
    for (auto &thread : threads) thread.join();
    return received;
}

int shared(const char *port, int readers)
{
    orvy_api_conn *conn = open_or_die(port);
    // The same answers come every time: one reader first, then many, whose
    // pieces must hold every byte exactly once.
    Bytes alone = answers_read_by(conn, 1);
    Bytes together = answers_read_by(conn, readers);
    std::sort(alone.begin(), alone.end());
    std::sort(together.begin(), together.end());
    std::printf("bytes=%zu same_bytes=%d\n", together.size(), alone == together ? 1 : 0);
    orvy_api_conn_close(conn);
    return 0;
}

}  // namespace

int main(int argc, char **argv)
{
    const std::string scenario = argc > 1 ? argv[1] : "";
    if (scenario == "independent" && argc == 4) return independent(argv[2], argv[3]);
    if (scenario == "serialised" && argc == 3) return serialised(argv[2]);
    if (scenario == "shared" && argc == 4) return shared(argv[2], std::stoi(argv[3]));
    std::fprintf(stderr, "usage: orvy_conn_threads independent|serialised|shared ...\n");
    return 2;
}
