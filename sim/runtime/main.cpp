// Orvy_Simulator: presents one simulated printer to COMMAND. See usage_text().
#include <cstdio>
#include <string>
#include <vector>

#include "options.h"
#include "preload.h"
#include "simulator.h"

int main(int argc, char **argv)
{
    using namespace orvy::sim;
    const ParsedOptions parsed = parse_options(std::vector<std::string>(argv + 1, argv + argc));
    if (!parsed.error.empty()) {
        std::fprintf(stderr, "Orvy_Simulator: %s (see --help)\n", parsed.error.c_str());
        return 125;
    }
    if (parsed.options.help) {
        std::fputs(usage_text().c_str(), stdout);
        return 0;
    }
    if (!preload_active()) {
        const std::string reason = reexec_under_preload(argv);
        std::fprintf(stderr, "Orvy_Simulator: %s\n", reason.c_str());
        return 125;
    }
    return Simulator(parsed.options).run();
}
