// A downstream C++ application, built only against the installed toolkit
// through find_package(Orvy).
//
//   consumer           prints both library information strings
//   consumer PORT      also reads the printer's status block:
//                      open, clear, inquiry 1D 61 01, header 4 + data 14, close
//
// Exit status: 0 success, 1 wrong library information, 3 open failed,
// 4 the exchange failed.
#include <Orvy_Api.h>
#include <Orvy_Tb.h>

#include <array>
#include <cstdio>
#include <string_view>

namespace {

constexpr unsigned long timeout_ms = 1000;

// The connection is closed on every way out of main.
class Printer {
public:
    explicit Printer(char *port) : handle_(orvy_api_printer_open(port)) {}
    ~Printer()
    {
        if (handle_ >= 0) orvy_api_printer_close(handle_);
    }
    Printer(const Printer &) = delete;
    Printer &operator=(const Printer &) = delete;

    intptr_t handle() const { return handle_; }
    bool is_open() const { return handle_ >= 0; }

    template <std::size_t N>
    bool write(std::array<unsigned char, N> bytes)
    {
        return orvy_api_printer_write(handle_, bytes.data(), int(N), timeout_ms) == int(N);
    }
    template <std::size_t N>
    bool read(std::array<unsigned char, N> &bytes)
    {
        return orvy_api_printer_read(handle_, bytes.data(), int(N), timeout_ms) == int(N);
    }

private:
    intptr_t handle_;
};

template <std::size_t N>
void print_hex(const char *what, const std::array<unsigned char, N> &bytes)
{
    std::printf("%s:", what);
    for (unsigned char byte : bytes) std::printf(" %02X", byte);
    std::printf("\n");
}

bool read_status_block(Printer &printer)
{
    std::array<unsigned char, 4> header{};
    std::array<unsigned char, 14> status{};
    if (!printer.write(std::array<unsigned char, 3>{0x1D, 0x61, 0x01})) {
        std::printf("inquiry not sent\n");
        return false;
    }
    if (!printer.read(header)) {
        std::printf("no response header\n");
        return false;
    }
    if (header != std::array<unsigned char, 4>{0x1B, 0xFF, 0x02, 14}) {
        print_hex("unexpected header", header);
        return false;
    }
    if (!printer.read(status)) {
        std::printf("no status block\n");
        return false;
    }
    print_hex("header", header);
    print_hex("status", status);
    return true;
}

}  // namespace

int main(int argc, char **argv)
{
    std::string_view api_info = orvy_api_get_library_info();
    std::string_view tb_info = orvy_tb_get_library_info();
    std::printf("%.*s\n%.*s\n", int(api_info.size()), api_info.data(), int(tb_info.size()),
                tb_info.data());
    if (api_info.substr(0, 23) != "Velmora - libOrvyApi - " ||
        tb_info.substr(0, 22) != "Velmora - libOrvyTb - ")
        return 1;
    if (argc < 2) return 0;

    timespec started{};
    orvy_tb_set_time_stamp(&started);
    Printer printer(argv[1]);
    if (!printer.is_open()) {
        std::printf("open %s failed: %ld\n", argv[1], long(printer.handle()));
        return 3;
    }
    orvy_api_printer_clear(printer.handle());
    bool ok = read_status_block(printer);
    std::printf("exchange took %lu ms\n", orvy_tb_calc_age_in_ms(&started));
    return ok ? 0 : 4;
}
