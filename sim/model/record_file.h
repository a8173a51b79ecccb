// A file that the simulator records into line by line: the --log transcript,
// a --paper receipt. Each line goes out at once. The first line the file
// cannot take (a full disk, /dev/full) is reported on standard error then,
// and the record ends there: a file with a gap in it would tell a wrong story.
#pragma once

#include <string>

namespace orvy::sim {

class RecordFile {
public:
    RecordFile() = default;
    ~RecordFile();
    RecordFile(const RecordFile &) = delete;
    RecordFile &operator=(const RecordFile &) = delete;

    // Creates or empties `path`; `what` names the record in the message
    // ("the receipt"). False, with errno set, when it cannot.
    bool open(const std::string &path, const std::string &what);
    bool is_open() const { return fd_ >= 0; }

    // `line` and its line feed; nothing once a line failed.
    void write_line(const std::string &line);
    // A line could not be written: the record is incomplete.
    bool failed() const { return failed_; }

private:
    int fd_ = -1;
    std::string path_;
    std::string what_;
    bool failed_ = false;
};

}  // namespace orvy::sim
