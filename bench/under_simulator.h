// Benchmarks that talk to the simulated printer run inside the simulator: the
// first start execs the simulator with this very program as its command.
#pragma once

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace orvy::bench {

inline std::string self_path()
{
    std::vector<char> path(4096);
    const ssize_t length = ::readlink("/proc/self/exe", path.data(), path.size() - 1);
    return length > 0 ? std::string(path.data(), static_cast<std::size_t>(length)) : "";
}

// True when this process already runs under the simulator. Otherwise starts
// this program again under it (with `sim_options` before "--") and returns
// false only when that fails.
inline bool inside_simulator(const char *program, const char *child_mark, int argc, char **argv,
                             const std::vector<std::string> &sim_options = {})
{
    if (std::getenv(child_mark) != nullptr) return true;
#ifdef ORVY_SIMULATOR_PATH
    std::vector<std::string> args{ORVY_SIMULATOR_PATH};
    args.insert(args.end(), sim_options.begin(), sim_options.end());
    args.insert(args.end(), {"--", self_path()});
    for (int i = 1; i < argc; ++i) args.emplace_back(argv[i]);
    std::vector<char *> argv_child;
    for (auto &arg : args) argv_child.push_back(arg.data());
    argv_child.push_back(nullptr);
    ::setenv(child_mark, "1", 1);
    ::execv(argv_child[0], argv_child.data());
    std::fprintf(stderr, "%s: cannot start the simulator\n", program);
#else
    (void)argc;
    (void)argv;
    (void)sim_options;
    std::fprintf(stderr, "%s: built without the simulator\n", program);
#endif
    return false;
}

}  // namespace orvy::bench
