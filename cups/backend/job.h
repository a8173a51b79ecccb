// One print job: finds the printer that the device URI names (waiting for
// it), sends the job's bytes and ends as soon as the printer has taken the
// last one, reporting the printer's own state to cupsd as it goes.
#pragma once

#include <string>

namespace orvy::backend {

struct JobInput {
    int fd = 0;            // the print file, or standard input
    bool is_file = false;  // a file can be sent again for each copy
    int copies = 1;
};

// The exit status of backend(7) (CUPS_BACKEND_*).
int run_job(const std::string &serial, const JobInput &input);

// Set by the SIGTERM handler: the job was cancelled.
void request_stop();

}  // namespace orvy::backend
