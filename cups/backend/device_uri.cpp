#include "device_uri.h"

#include <cctype>

namespace orvy::backend {
namespace {

int hex_digit(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    const int lower = std::tolower(static_cast<unsigned char>(c));
    return lower >= 'a' && lower <= 'f' ? lower - 'a' + 10 : -1;
}

std::string percent_decoded(const std::string &text)
{
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size()) {
            const int hi = hex_digit(text[i + 1]);
            const int lo = hex_digit(text[i + 2]);
            if (hi >= 0 && lo >= 0) {
                out += static_cast<char>(hi * 16 + lo);
                i += 2;
                continue;
            }
        }
        out += text[i];
    }
    return out;
}

}  // namespace

std::string device_uri_from_usb_uri(const std::string &usb_uri)
{
    const std::string usb = "usb:";
    if (usb_uri.rfind(usb, 0) != 0) return {};
    return kScheme + (":" + usb_uri.substr(usb.size()));
}

std::string serial_of_device_uri(const std::string &uri)
{
    const std::string prefix = std::string(kScheme) + ":";
    if (uri.rfind(prefix, 0) != 0) return {};
    const std::size_t query = uri.find('?');
    if (query == std::string::npos) return {};
    std::size_t start = query + 1;
    while (start <= uri.size()) {
        std::size_t end = uri.find_first_of("&#", start);
        if (end == std::string::npos) end = uri.size();
        const std::string pair = uri.substr(start, end - start);
        if (pair.rfind("serial=", 0) == 0) return percent_decoded(pair.substr(7));
        if (end >= uri.size() || uri[end] == '#') break;
        start = end + 1;
    }
    return {};
}

}  // namespace orvy::backend
