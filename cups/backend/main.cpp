// orvy: CUPS backend for the Orvy printers (backend(7)).
//
//   orvy                                          lists the attached printers
//   orvy job-id user title copies options [file]  prints a job to DEVICE_URI
#include <cups/backend.h>
#include <fcntl.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "device_uri.h"
#include "job.h"
#include "printer_finder.h"

namespace {

void on_terminate(int) { orvy::backend::request_stop(); }

void install_signal_handlers()
{
    struct sigaction action {};
    action.sa_handler = on_terminate;
    sigemptyset(&action.sa_mask);
    sigaction(SIGTERM, &action, nullptr);  // no SA_RESTART: waits end at once
    std::signal(SIGPIPE, SIG_IGN);
}

int discover()
{
    for (const auto &printer : orvy::backend::attached_printers()) {
        std::printf("%s\n", orvy::backend::discovery_line(printer).c_str());
    }
    return CUPS_BACKEND_OK;
}

}  // namespace

int main(int argc, char **argv)
{
    std::setvbuf(stderr, nullptr, _IOLBF, 0);
    if (argc == 1) return discover();
    if (argc < 6 || argc > 7) {
        std::fprintf(stderr, "Usage: %s job-id user title copies options [file]\n", argv[0]);
        return CUPS_BACKEND_FAILED;
    }
    const char *device_uri = std::getenv("DEVICE_URI");
    const std::string uri = device_uri ? device_uri : argv[0];
    const std::string serial = orvy::backend::serial_of_device_uri(uri);
    if (serial.empty()) {
        std::fprintf(stderr,
                     "ERROR: The device URI %s names no printer: orvy://MAKE/MODEL?serial=SERIAL "
                     "(lpinfo -v lists them)\n",
                     uri.c_str());
        return CUPS_BACKEND_STOP;
    }
    orvy::backend::JobInput input;
    if (argc == 7) {
        // Above the side channel's descriptor (4), which cupsd may not have set.
        const int opened = open(argv[6], O_RDONLY | O_CLOEXEC);
        input.fd = opened < 0 ? opened : fcntl(opened, F_DUPFD_CLOEXEC, 10);
        if (opened >= 0) close(opened);
        if (input.fd < 0) {
            std::fprintf(stderr, "ERROR: Cannot open the print file: %s\n", std::strerror(errno));
            return CUPS_BACKEND_FAILED;
        }
        input.is_file = true;
        input.copies = std::max(1, std::atoi(argv[4]));
    }
    install_signal_handlers();
    const int status = orvy::backend::run_job(serial, input);
    if (input.is_file) close(input.fd);
    return status;
}
