#include "transcript.h"

#include "hex.h"

namespace orvy::sim {

Transcript::~Transcript()
{
    if (file_) std::fclose(file_);
}

bool Transcript::open(const std::string &path)
{
    if (path.empty()) return true;
    file_ = std::fopen(path.c_str(), "we");
    return file_ != nullptr;
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

void Transcript::flush()
{
    std::lock_guard lock(mutex_);
    if (file_) std::fflush(file_);
}

void Transcript::line(const std::string &text)
{
    std::lock_guard lock(mutex_);
    if (!file_) return;
    std::fputs(text.c_str(), file_);
    std::fputc('\n', file_);
    std::fflush(file_);
}

}  // namespace orvy::sim
