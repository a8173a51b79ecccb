#include "signals.h"

#include <fcntl.h>
#include <limits.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "work_dir.h"

// The sanitizer reports crashes itself; its handlers stay in place.
#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define ORVY_SIM_SANITIZED 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__)
#define ORVY_SIM_SANITIZED 1
#endif

namespace orvy::sim {
namespace {

int g_write_end = -1;
volatile pid_t g_child = 0;
char g_work_dir[PATH_MAX] = "";

constexpr int kTerminating[] = {SIGHUP,  SIGINT,  SIGQUIT,   SIGTERM, SIGUSR1,
                                SIGUSR2, SIGALRM, SIGVTALRM, SIGXCPU, SIGXFSZ};

void on_terminating(int signal_number, siginfo_t *info, void *)
{
    const int saved = errno;
    const bool keyboard =
        (signal_number == SIGINT || signal_number == SIGQUIT) && info && info->si_code == SI_KERNEL;
    const unsigned char bytes[2] = {static_cast<unsigned char>(signal_number), keyboard};
    ssize_t ignored = write(g_write_end, bytes, sizeof bytes);
    (void)ignored;
    errno = saved;
}

#if !defined(ORVY_SIM_SANITIZED)
constexpr int kCrashes[] = {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT, SIGTRAP, SIGSYS};

// Best effort: the process is about to die anyway.
void on_crash(int signal_number)
{
    if (g_child > 0) kill(g_child, SIGKILL);
    if (g_work_dir[0]) remove_tree(g_work_dir);
    signal(signal_number, SIG_DFL);
    raise(signal_number);
}
#endif

}  // namespace

int install_signal_pipe()
{
    int fds[2];
    if (pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0) return -1;
    g_write_end = fds[1];
    struct sigaction action {};
    action.sa_sigaction = on_terminating;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART | SA_SIGINFO;
    for (int s : kTerminating) sigaction(s, &action, nullptr);
    signal(SIGPIPE, SIG_IGN);
#if !defined(ORVY_SIM_SANITIZED)
    struct sigaction crash {};
    crash.sa_handler = on_crash;
    sigemptyset(&crash.sa_mask);
    crash.sa_flags = SA_RESETHAND;
    for (int s : kCrashes) sigaction(s, &crash, nullptr);
#endif
    return fds[0];
}

CaughtSignal next_signal(int pipe_fd)
{
    unsigned char bytes[2] = {0, 0};
    if (read(pipe_fd, bytes, sizeof bytes) != sizeof bytes) return {};
    return {bytes[0], bytes[1] != 0};
}

void set_crash_cleanup(pid_t child, const char *work_dir)
{
    g_child = child;
    if (work_dir) {
        std::strncpy(g_work_dir, work_dir, sizeof g_work_dir - 1);
    }
}

}  // namespace orvy::sim
