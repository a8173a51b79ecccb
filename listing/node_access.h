// Whether the current user may open a device node for reading and writing,
// and if not, why and what fixes it.
#pragma once

#include <string>

namespace orvy::list {

struct NodeAccess {
    bool granted = false;
    std::string why;  // empty when granted
    std::string fix;
};

// Where the package puts the udev rule, and where an administrator may.
inline constexpr const char *kRuleName = "60-orvy-printer.rules";
bool udev_rule_installed();

// Only stat() and access(): the node is never opened.
NodeAccess check_access(const std::string &node, bool rule_installed);

}  // namespace orvy::list
