// The stop signals on POSIX systems: SIGINT (Ctrl-C), SIGTERM and SIGHUP (the terminal closed)
// go to StopArrived while a write is shielded; SIGPIPE is ignored meanwhile.
#include "interruption.h"

#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <iterator>

namespace {

constexpr int kStopSignals[] = {SIGINT, SIGTERM, SIGHUP};
struct sigaction g_before[3];
struct sigaction g_pipeBefore;

void OnStopSignal(int) { StopArrived(); }

}  // namespace

void InstallStopHandlers() {
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    action.sa_flags = SA_RESTART;
    sigemptyset(&action.sa_mask);
    // One handler at a time: a second signal waits until the first has been dealt with.
    for (int signal : kStopSignals) sigaddset(&action.sa_mask, signal);
    for (std::size_t i = 0; i < std::size(kStopSignals); ++i)
        ::sigaction(kStopSignals[i], &action, &g_before[i]);
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    ::sigaction(SIGPIPE, &ignore, &g_pipeBefore);
}

void RemoveStopHandlers(bool keepIgnoring) {
    if (keepIgnoring) return;
    for (std::size_t i = 0; i < std::size(kStopSignals); ++i)
        ::sigaction(kStopSignals[i], &g_before[i], nullptr);
    ::sigaction(SIGPIPE, &g_pipeBefore, nullptr);
}

void WriteToStandardError(const char *text, std::size_t size) {
    while (size > 0) {
        const ssize_t put = ::write(STDERR_FILENO, text, size);
        if (put < 0 && errno == EINTR) continue;
        if (put <= 0) return;  // a terminal that has gone, a closed pipe: nothing more to say
        text += put;
        size -= static_cast<std::size_t>(put);
    }
}

void EndProcessNow(int code) { ::_exit(code); }
