#include "transcript.h"

#include "hex.h"

namespace orvy::sim {

bool Transcript::open(const std::string &path)
{
    if (path.empty()) return true;
    return file_.open(path, "the transcript");
}

void Transcript::data(const char *port, bool to_printer, const std::uint8_t *bytes,
                      std::size_t size)
{
    if (size == 0) return;
    line(std::string(port) + (to_printer ? " > " : " < ") + hex_line(bytes, size));
}

void Transcript::event(const char *port, const std::string &text)
{
    line(std::string(port) + ": " + text);
}

bool Transcript::failed()
{
    std::lock_guard lock(mutex_);
    return file_.failed();
}

void Transcript::line(const std::string &text)
{
    std::lock_guard lock(mutex_);
    file_.write_line(text);
}

}  // namespace orvy::sim
