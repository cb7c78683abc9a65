#include "Interrupt.h"

#include "EndBySignal.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <initializer_list>
#include <poll.h>
#include <unistd.h>

namespace {

volatile std::sig_atomic_t g_signal = 0;
// The handler writes a byte here, so that a wait that began just after the flag was checked
// still returns (the self-pipe).
int g_wake[2] = {-1, -1};

extern "C" void OnSignal(int signal)
{
    if (g_signal != 0) {
        // A second signal while the run puts its finished copies in place.
        EndBySignalAtOnce(signal);
        return;
    }
    g_signal = signal;
    if (g_wake[1] >= 0) {
        const int saved = errno;
        const char byte = 0;
        [[maybe_unused]] const ssize_t written = ::write(g_wake[1], &byte, 1);
        errno = saved;
    }
}

} // namespace

void CatchInterrupts()
{
    if (g_wake[0] < 0 && ::pipe2(g_wake, O_CLOEXEC | O_NONBLOCK) != 0)
        g_wake[0] = g_wake[1] = -1;
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    // No SA_RESTART: a blocking read of an answer on the terminal returns at once.
    action.sa_flags = 0;
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
        struct sigaction before {};
        if (::sigaction(signal, nullptr, &before) == 0 && before.sa_handler == SIG_IGN)
            continue; // nohup, or a background job of a shell without job control
        ::sigaction(signal, &action, nullptr);
    }
}

bool Interrupted()
{
    return g_signal != 0;
}

void EndIfInterrupted()
{
    const int signal = g_signal;
    if (signal == 0)
        return;
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

bool WaitForInputUnlessInterrupted(int fd)
{
    for (;;) {
        if (Interrupted())
            return false;
        pollfd watched[2] = {{fd, POLLIN, 0}, {g_wake[0], POLLIN, 0}};
        const int ready = ::poll(watched, 2, -1);
        if (ready < 0 && errno != EINTR)
            return true; // let the read report what is wrong with the input
        if (ready > 0 && watched[0].revents != 0 && !Interrupted())
            return true;
    }
}
