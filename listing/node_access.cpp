#include "node_access.h"

#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace orvy::list {
namespace {

std::string group_name(gid_t gid)
{
    if (const group *g = getgrgid(gid)) return g->gr_name;
    return std::to_string(gid);
}

std::string user_name()
{
    if (const passwd *p = getpwuid(geteuid())) return p->pw_name;
    return std::to_string(geteuid());
}

bool in_group(gid_t gid)
{
    if (getegid() == gid) return true;
    gid_t groups[256];
    const int count = getgroups(256, groups);
    for (int i = 0; i < count; ++i) {
        if (groups[i] == gid) return true;
    }
    return false;
}

}  // namespace

bool udev_rule_installed()
{
    for (const char *dir :
         {ORVY_UDEV_RULES_DIR, "/etc/udev/rules.d", "/usr/lib/udev/rules.d", "/lib/udev/rules.d"}) {
        if (access((std::string(dir) + "/" + kRuleName).c_str(), F_OK) == 0) return true;
    }
    return false;
}

NodeAccess check_access(const std::string &node, bool rule_installed)
{
    NodeAccess result;
    if (access(node.c_str(), R_OK | W_OK) == 0) {
        result.granted = true;
        return result;
    }
    const int error = errno;
    struct stat st {};
    if (error != EACCES || stat(node.c_str(), &st) != 0) {
        result.why = std::strerror(error);
        result.fix = error == ENOENT ? "check the cable; list again after the printer is back"
                                     : "check the node and the kernel log";
        return result;
    }
    char mode[8];
    std::snprintf(mode, sizeof mode, "%04o", static_cast<unsigned>(st.st_mode & 07777));
    const std::string group = group_name(st.st_gid);
    result.why = "the node has group " + group + ", mode " + mode + "; user " + user_name() +
                 (in_group(st.st_gid) ? " is in that group but the group may not read and write"
                                      : " is not in that group");
    if (!rule_installed) {
        result.fix = std::string("install the udev rule ") + kRuleName +
                     " (it gives group lp read and write access), reload udev and replug "
                     "the printer";
    } else if (!in_group(st.st_gid)) {
        result.fix = "add the user to group " + group + " (sudo usermod -aG " + group + " " +
                     user_name() + ") and log in again";
    } else {
        result.fix = "reload udev and replug the printer, so that the rule " +
                     std::string(kRuleName) + " applies";
    }
    return result;
}

}  // namespace orvy::list
