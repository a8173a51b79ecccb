// One run of the simulator: scratch directory, test bed, the three ports,
// the child, and the main loop that serves them until the child exits.
#pragma once

#include <sys/types.h>

#include <memory>
#include <optional>
#include <string>

#include "control_command.h"
#include "options.h"

namespace orvy::sim {

class Simulator {
public:
    explicit Simulator(Options options);
    ~Simulator();

    // The child's exit status, or 125 with a message on stderr: for a
    // failure of its own, or a receipt or transcript that lost lines.
    int run();

private:
    struct Parts;
    int fail(const std::string &reason);
    bool set_up(std::string &error);
    bool open_control_channel(std::string &error);
    static void control(Parts &parts, const ControlCommand &command, const std::string &line);
    void start_timers();
    void on_signal(int signal_number, bool from_keyboard);
    void finish(int status);

    Options options_;
    std::unique_ptr<Parts> parts_;
    std::optional<std::string> caller_tmpdir_;
    pid_t child_ = -1;
    int exit_status_ = 125;
    bool command_ended_ = false;
};

}  // namespace orvy::sim
