// orvy-text: CUPS filter from text/plain to an Orvy receipt (filter(7)).
//
//   orvy-text job-id user title copies options [file]
//
// Reads the text (the file, or standard input), writes the printer's bytes to
// standard output. The options come from the queue's PPD ($PPD) and the job.
#include <cups/cups.h>
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "receipt_text.h"

namespace {

bool write_all(const std::vector<std::uint8_t> &bytes)
{
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = write(STDOUT_FILENO, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

std::string file_text(const char *path)
{
    if (!path) return {};
    std::ifstream in(path);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// One receipt from `fd`; false when the output could not be written.
bool print_receipt(int fd, const orvy::filter::ReceiptOptions &options)
{
    orvy::filter::ReceiptText receipt(options);
    if (!write_all(receipt.start())) return false;
    std::vector<std::uint8_t> buffer(16 * 1024);
    for (;;) {
        const ssize_t got = read(fd, buffer.data(), buffer.size());
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) {
            std::fprintf(stderr, "ERROR: Cannot read the text: %s\n", std::strerror(errno));
            return false;
        }
        if (got == 0) break;
        if (!write_all(receipt.feed(buffer.data(), static_cast<std::size_t>(got)))) return false;
    }
    return write_all(receipt.finish());
}

}  // namespace

int main(int argc, char **argv)
{
    if (argc < 6 || argc > 7) {
        std::fprintf(stderr, "Usage: %s job-id user title copies options [file]\n", argv[0]);
        return 1;
    }
    orvy::filter::JobOptions job_options;
    cups_option_t *parsed = nullptr;
    const int count = cupsParseOptions(argv[5], 0, &parsed);
    for (int i = 0; i < count; ++i) job_options.emplace_back(parsed[i].name, parsed[i].value);
    cupsFreeOptions(count, parsed);
    const auto options = orvy::filter::receipt_options(file_text(std::getenv("PPD")), job_options);
    int fd = STDIN_FILENO;
    int copies = 1;
    if (argc == 7) {
        fd = open(argv[6], O_RDONLY | O_CLOEXEC);
        if (fd < 0) {
            std::fprintf(stderr, "ERROR: Cannot open the text: %s\n", std::strerror(errno));
            return 1;
        }
        copies = std::max(1, std::atoi(argv[4]));
    }
    for (int copy = 0; copy < copies; ++copy) {
        if (copy > 0 && lseek(fd, 0, SEEK_SET) < 0) return 1;
        if (!print_receipt(fd, options)) {
            std::fprintf(stderr, "ERROR: The receipt could not be written\n");
            return 1;
        }
    }
    return 0;
}
