#include "sim_run.h"

#include "scratch_dir.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <chrono>
#include <fstream>
#include <sstream>
#include <stdexcept>

extern char **environ;

namespace orvy::test {
namespace {

class Pipe {
public:
    Pipe()
    {
        if (::pipe2(fds_.data(), O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
    }
    ~Pipe()
    {
        close_read();
        close_write();
    }
    Pipe(const Pipe &) = delete;
    Pipe &operator=(const Pipe &) = delete;
    int read_end() const { return fds_[0]; }
    int write_end() const { return fds_[1]; }
    void close_read() { close_fd(fds_[0]); }
    void close_write() { close_fd(fds_[1]); }

private:
    static void close_fd(int &fd)
    {
        if (fd >= 0) ::close(fd);
        fd = -1;
    }
    std::array<int, 2> fds_{-1, -1};
};

std::string read_file(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

int status_of(int wait_status)
{
    if (WIFEXITED(wait_status)) return WEXITSTATUS(wait_status);
    if (WIFSIGNALED(wait_status)) return 128 + WTERMSIG(wait_status);
    return -1;
}

}  // namespace

RunResult run_program(const std::vector<std::string> &command, double limit_seconds)
{
    using Clock = std::chrono::steady_clock;
    RunResult result;
    Pipe out_pipe;
    Pipe err_pipe;

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out_pipe.write_end(), STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, err_pipe.write_end(), STDERR_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);

    std::vector<char *> argv;
    for (const auto &arg : command) argv.push_back(const_cast<char *>(arg.c_str()));
    argv.push_back(nullptr);

    const auto started = Clock::now();
    pid_t pid = -1;
    const int spawn_error = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    out_pipe.close_write();
    err_pipe.close_write();
    if (spawn_error != 0) {
        result.err = "spawn failed: " + command.front();
        return result;
    }

    std::array<pollfd, 2> fds{{{out_pipe.read_end(), POLLIN, 0}, {err_pipe.read_end(), POLLIN, 0}}};
    std::array<std::string *, 2> sinks{&result.out, &result.err};
    int open_streams = 2;
    bool killed = false;
    while (open_streams > 0) {
        const auto elapsed = std::chrono::duration<double>(Clock::now() - started).count();
        if (!killed && elapsed > limit_seconds) {
            ::kill(pid, SIGKILL);
            killed = true;
        }
        if (::poll(fds.data(), fds.size(), 100) < 0 && errno != EINTR) break;
        for (std::size_t i = 0; i < fds.size(); ++i) {
            if (fds[i].fd < 0 || fds[i].revents == 0) continue;
            char chunk[4096];
            const ssize_t got = ::read(fds[i].fd, chunk, sizeof chunk);
            if (got > 0) {
                sinks[i]->append(chunk, static_cast<std::size_t>(got));
            } else if (got == 0 || errno != EINTR) {
                fds[i].fd = -1;
                --open_streams;
            }
        }
    }
    int wait_status = 0;
    while (::waitpid(pid, &wait_status, 0) < 0 && errno == EINTR) {
    }
    result.exit_status = status_of(wait_status);
    result.seconds = std::chrono::duration<double>(Clock::now() - started).count();
    return result;
}

std::string simulator_path()
{
#ifdef ORVY_SIMULATOR_PATH
    return ORVY_SIMULATOR_PATH;
#else
    return "Orvy_Simulator";
#endif
}

RunResult run_under_simulator(const std::vector<std::string> &sim_options,
                              const std::vector<std::string> &command, double limit_seconds)
{
    const ScratchDir dir("orvy-run");
    const std::string log_path = dir.path() + "/transcript.log";
    std::vector<std::string> full{simulator_path(), "--log", log_path};
    full.insert(full.end(), sim_options.begin(), sim_options.end());
    full.emplace_back("--");
    full.insert(full.end(), command.begin(), command.end());
    RunResult result = run_program(full, limit_seconds);
    result.log = read_file(log_path);
    return result;
}

std::vector<std::string> lines_of(const std::string &text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

std::string transcript_bytes(const std::string &log, const std::string &port,
                             const std::string &direction)
{
    const std::string prefix = port + " " + direction + " ";
    std::string bytes;
    for (const auto &line : lines_of(log)) {
        if (line.rfind(prefix, 0) != 0) continue;
        if (!bytes.empty()) bytes += ' ';
        bytes += line.substr(prefix.size());
    }
    return bytes;
}

}  // namespace orvy::test
