// The scripted test programs take their steps as command-line arguments of
// the form VERB[:ARG...].
#pragma once

#include <string>
#include <vector>

namespace orvy::test {

// The fields of one script step, split at ':' ("read:18:1000").
inline std::vector<std::string> step_fields(const std::string &step)
{
    std::vector<std::string> fields;
    std::string::size_type start = 0;
    for (;;) {
        const auto end = step.find(':', start);
        fields.push_back(step.substr(start, end - start));
        if (end == std::string::npos) return fields;
        start = end + 1;
    }
}

}  // namespace orvy::test
