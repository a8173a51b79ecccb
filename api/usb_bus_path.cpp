#include "usb_bus_path.h"

#include <cctype>
#include <climits>
#include <string>
#include <string_view>
#include <vector>

namespace orvy::api {

int atoi_saturating(const char *text)
{
    while (std::isspace(static_cast<unsigned char>(*text))) ++text;
    const bool negative = *text == '-';
    if (*text == '-' || *text == '+') ++text;
    long long value = 0;
    for (; std::isdigit(static_cast<unsigned char>(*text)); ++text) {
        value = value * 10 + (*text - '0');
        if (value > static_cast<long long>(INT_MAX) + 1) break;
    }
    if (negative) value = -value;
    if (value > INT_MAX) return INT_MAX;
    if (value < INT_MIN) return INT_MIN;
    return static_cast<int>(value);
}

std::optional<UsbBusAddress> parse_usb_bus_path(const char *port)
{
    constexpr std::size_t kBusComponent = 3;
    constexpr std::size_t kAddressComponent = 4;
    std::vector<std::string> components;
    std::string_view rest = port;
    while (!rest.empty() && components.size() <= kAddressComponent) {
        const auto slash = rest.find('/');
        const auto component = rest.substr(0, slash);
        if (!component.empty()) components.emplace_back(component);
        rest = slash == std::string_view::npos ? std::string_view{} : rest.substr(slash + 1);
    }
    if (components.size() <= kAddressComponent) return std::nullopt;
    return UsbBusAddress{atoi_saturating(components[kBusComponent].c_str()),
                         atoi_saturating(components[kAddressComponent].c_str())};
}

}  // namespace orvy::api
