#include "child_process.h"

#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "preload.h"

extern char **environ;

namespace orvy::sim {
namespace {

std::vector<std::string> child_environment(const EnvironmentChanges &changes)
{
    std::vector<std::string> env;
    bool has_asan_options = false;
    for (const auto &[name, value] : changes) {
        if (value) env.push_back(name + "=" + *value);
    }
    for (char **entry = environ; *entry; ++entry) {
        const std::string item = *entry;
        const std::string name = item.substr(0, item.find('='));
        if (name == kReexecMarker || changes.count(name)) continue;
        if (item.rfind("ASAN_OPTIONS=", 0) == 0) {
            env.push_back("ASAN_OPTIONS=" + asan_options_for_preload(item.c_str() + 13));
            has_asan_options = true;
            continue;
        }
        env.push_back(item);
    }
    if (!has_asan_options) env.push_back("ASAN_OPTIONS=" + asan_options_for_preload(nullptr));
    return env;
}

std::vector<char *> pointers_to(std::vector<std::string> &strings)
{
    std::vector<char *> pointers;
    for (auto &s : strings) pointers.push_back(s.data());
    pointers.push_back(nullptr);
    return pointers;
}

// Between fork and exec only async-signal-safe calls: the simulator has threads.
[[noreturn]] void run_in_child(pid_t parent, char **argv, char **envp, const std::string &failure)
{
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (getppid() != parent) _exit(125);
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    signal(SIGPIPE, SIG_DFL);
    execvpe(argv[0], argv, envp);
    const int error = errno;
    ssize_t ignored = write(STDERR_FILENO, failure.data(), failure.size());
    const char *reason = strerror(error);
    ignored = write(STDERR_FILENO, reason, strlen(reason));
    ignored = write(STDERR_FILENO, "\n", 1);
    (void)ignored;
    _exit(error == ENOENT ? 127 : 126);
}

}  // namespace

pid_t spawn_child(const std::vector<std::string> &command, const EnvironmentChanges &changes,
                  std::string &error)
{
    std::vector<std::string> args = command;
    std::vector<std::string> env = child_environment(changes);
    std::vector<char *> argv = pointers_to(args);
    std::vector<char *> envp = pointers_to(env);
    const std::string failure = "Orvy_Simulator: cannot run " + command.front() + ": ";
    const pid_t parent = getpid();
    const pid_t pid = fork();
    if (pid == 0) run_in_child(parent, argv.data(), envp.data(), failure);
    if (pid < 0) error = std::string("cannot fork: ") + std::strerror(errno);
    return pid;
}

int exit_status_of(int wait_status)
{
    if (WIFEXITED(wait_status)) return WEXITSTATUS(wait_status);
    if (WIFSIGNALED(wait_status)) return 128 + WTERMSIG(wait_status);
    return 125;
}

}  // namespace orvy::sim
