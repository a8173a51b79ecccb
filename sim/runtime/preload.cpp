#include "preload.h"

#include <dlfcn.h>
#include <libgen.h>
#include <stdlib.h>
#include <umockdev.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <climits>
#include <cstring>

namespace orvy::sim {
namespace {

constexpr const char *kPreloadName = "libumockdev-preload.so.0";

// ORVY_SIMULATOR_PRELOAD names another preload library (a developer's own
// umockdev build); otherwise the one next to the libumockdev we run with.
std::string preload_path(bool &use_soname)
{
    if (const char *path = getenv("ORVY_SIMULATOR_PRELOAD"); path && *path) {
        use_soname = false;
        return path;
    }
    use_soname = true;
    Dl_info info{};
    if (dladdr(reinterpret_cast<void *>(&umockdev_testbed_new), &info) == 0 || !info.dli_fname) {
        return kPreloadName;
    }
    std::string library = info.dli_fname;
    return std::string(dirname(library.data())) + "/" + kPreloadName;
}

// Our own preload library (sim/preload), next to the program in the build
// tree or where the install put it. Without it COMMAND only runs slower.
std::string own_preload_path()
{
    std::array<char, PATH_MAX> program{};
    const ssize_t length = readlink("/proc/self/exe", program.data(), program.size() - 1);
    if (length <= 0) return {};
    std::string directory(program.data(), static_cast<std::size_t>(length));
    directory.erase(directory.rfind('/'));
    // LD_PRELOAD splits its list at spaces and colons.
    if (directory.find_first_of(" :") != std::string::npos) return {};
    for (const std::string &candidate :
         {directory + "/" + ORVY_SIM_PRELOAD_NAME,
          directory + "/" + ORVY_SIM_PRELOAD_FROM_BIN + "/" + ORVY_SIM_PRELOAD_NAME}) {
        if (access(candidate.c_str(), R_OK) == 0) return candidate;
    }
    return {};
}

}  // namespace

bool preload_active()
{
    bool use_soname = true;
    const std::string path = preload_path(use_soname);
    void *handle = dlopen(use_soname ? kPreloadName : path.c_str(), RTLD_LAZY | RTLD_NOLOAD);
    if (!handle) return false;
    dlclose(handle);
    return true;
}

std::string asan_options_for_preload(const char *current)
{
    std::string options = current ? current : "";
    if (options.find("verify_asan_link_order") != std::string::npos) return options;
    if (!options.empty()) options += ':';
    return options + "verify_asan_link_order=0";
}

std::string reexec_under_preload(char **argv)
{
    bool use_soname = true;
    const std::string path = preload_path(use_soname);
    if (access(path.c_str(), R_OK) != 0) {
        return "umockdev's preload library " + path + " is missing (install the umockdev package)";
    }
    if (getenv(kReexecMarker)) return "umockdev's preload library " + path + " did not load";

    std::string preload = use_soname ? kPreloadName : path;
    if (const std::string own = own_preload_path(); !own.empty()) preload += ":" + own;
    if (const char *current = getenv("LD_PRELOAD"); current && *current) {
        preload += std::string(":") + current;
    }
    setenv("LD_PRELOAD", preload.c_str(), 1);
    setenv("ASAN_OPTIONS", asan_options_for_preload(getenv("ASAN_OPTIONS")).c_str(), 1);
    setenv(kReexecMarker, "1", 1);
    execv("/proc/self/exe", argv);
    return std::string("cannot re-execute under the preload library: ") + std::strerror(errno);
}

}  // namespace orvy::sim
