#include "port_name.h"

#include <limits.h>
#include <unistd.h>

#include <cctype>
#include <filesystem>
#include <optional>

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

// The content of the link `name`; none when it is no link.
std::optional<std::string> link_content(const std::string &name)
{
    char target[PATH_MAX];
    const ssize_t length = ::readlink(name.c_str(), target, sizeof target);
    if (length <= 0 || static_cast<std::size_t>(length) >= sizeof target) return std::nullopt;
    return std::string(target, static_cast<std::size_t>(length));
}

// `directory` with every link among its components followed, as the kernel
// walks a path: each link's content is taken relative to the real directory
// the link lies in. Stays lexical otherwise (no realpath: under the
// simulator that would name its test bed), and stops following after
// `hops_left` links.
std::filesystem::path real_directory(const std::filesystem::path &directory, int &hops_left)
{
    std::filesystem::path walked = directory.root_path();
    for (const auto &component : directory.relative_path()) {
        if (component.empty() || component == ".") continue;
        if (component == "..") {
            // Above the start of a relative name there is nothing to undo.
            if (walked.empty() || walked.filename() == "..") {
                walked /= "..";
            } else if (walked.has_relative_path()) {
                walked = walked.parent_path();
            }
            continue;
        }
        const std::filesystem::path next = walked / component;
        const auto content = link_content(next.string());
        if (!content || hops_left <= 0) {
            walked = next;
            continue;
        }
        --hops_left;
        const std::filesystem::path target(*content);
        walked = real_directory(target.is_absolute() ? target : walked / target, hops_left);
    }
    return walked;
}

// The target of the link `name`, a relative target taken from the real
// directory of the link; empty when `name` is no link.
std::string link_target(const std::string &name)
{
    const auto content = link_content(name);
    if (!content) return {};
    std::filesystem::path next(*content);
    if (next.is_relative()) {
        int hops_left = kMaxLinkHops;
        next = real_directory(std::filesystem::path(name).parent_path(), hops_left) / next;
    }
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
