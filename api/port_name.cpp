#include "port_name.h"

#include <limits.h>
#include <unistd.h>

#include <cctype>
#include <filesystem>

#include "transport.h"

namespace orvy::api {
namespace {

// As the kernel's own limit on links in one path name.
constexpr int kMaxLinkHops = 40;

bool contains_ignoring_case(std::string_view text, std::string_view part)
{
    if (part.size() > text.size()) return false;
    for (std::size_t at = 0; at + part.size() <= text.size(); ++at) {
        bool same = true;
        for (std::size_t i = 0; i < part.size() && same; ++i) {
            same = std::tolower(static_cast<unsigned char>(text[at + i])) ==
                   std::tolower(static_cast<unsigned char>(part[i]));
        }
        if (same) return true;
    }
    return false;
}

bool is_usb_serial_adapter(std::string_view port)
{
    return port.find("/dev/ttyUSB") != std::string_view::npos ||
           port.find("/dev/ttyACM") != std::string_view::npos;
}

bool has_known_form(std::string_view port) { return mode_for_port(port, kModeNone) != kModeNone; }

// The target of the link `name`, relative targets taken from the link's own
// directory; empty when `name` is no link.
std::string link_target(const std::string &name)
{
    char target[PATH_MAX];
    const ssize_t length = ::readlink(name.c_str(), target, sizeof target);
    if (length <= 0 || static_cast<std::size_t>(length) >= sizeof target) return {};
    std::filesystem::path next(std::string(target, static_cast<std::size_t>(length)));
    if (next.is_relative()) next = std::filesystem::path(name).parent_path() / next;
    // The lexical form is what classification needs: "/dev/bus/usb/001/011"
    // rather than "/dev/orvy/by-serial/X/../../../bus/usb/001/011".
    return next.lexically_normal().string();
}

}  // namespace

int mode_for_port(std::string_view port, int current_mode)
{
    if (port.find("/dev/usb/lp") != std::string_view::npos ||
        contains_ignoring_case(port, "/dev/ttyS") || is_usb_serial_adapter(port)) {
        return kModeDeviceFile;
    }
    if (port.find("/dev/bus/usb/") != std::string_view::npos) return kModeUsbBulk;
    return current_mode;
}

bool is_serial_port(std::string_view port)
{
    return contains_ignoring_case(port, "ttyS") || is_usb_serial_adapter(port);
}

std::string resolve_port_name(const std::string &port)
{
    std::string name = port;
    for (int hop = 0; hop < kMaxLinkHops && !has_known_form(name); ++hop) {
        std::string next = link_target(name);
        if (next.empty()) return port;
        name = std::move(next);
    }
    return has_known_form(name) ? name : port;
}

}  // namespace orvy::api
