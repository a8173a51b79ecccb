// Runs the simulator and programs under it as the user nobody when the tests
// run as root (root may open anything); as the test's own user otherwise.
//
// nobody may be unable to enter the build tree (a clone in /root, a build
// directory of mode 0700). So as root the simulator, its preload library, the
// programs and the libraries of the build that they load run from copies in a
// scratch directory that nobody may enter, removed again at the end.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "scratch_dir.h"

namespace orvy::test {

class AsNobody {
public:
    // `programs`: what the command runs under the simulator (see program()).
    explicit AsNobody(const std::vector<std::string> &programs = {});

    // Empty when commands can run as nobody; otherwise why not (no setpriv,
    // nobody cannot run the copies), for the test to skip with.
    const std::string &unavailable() const { return unavailable_; }

    // `Orvy_Simulator <sim_options> -- <command>` as nobody.
    std::vector<std::string> under_simulator(const std::vector<std::string> &sim_options,
                                             const std::vector<std::string> &command) const;

    // The path under which nobody runs `program`, one given to the constructor.
    std::string program(const std::string &program) const;

private:
    void copy_for_nobody(const std::string &program, bool with_preload);
    void check_nobody_may_run();

    std::unique_ptr<ScratchDir> scratch_;  // only as root
    std::vector<std::string> prefix_;
    std::vector<std::string> copies_;
    std::string unavailable_;
};

}  // namespace orvy::test
