#include "SignalCatcher.h"

#include <QSocketNotifier>

#include "EndBySignal.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace {

constexpr int kCaught[3] = {SIGTERM, SIGHUP, SIGINT};
int g_pipe[2] = {-1, -1};
volatile std::sig_atomic_t g_arrived = 0;

extern "C" void OnSignal(int signal)
{
    if (g_arrived != 0) {
        // A second signal while the window puts its finished copies in place.
        EndBySignalAtOnce(signal);
        return;
    }
    const int saved = errno;
    g_arrived = 1;
    const unsigned char number = static_cast<unsigned char>(signal);
    [[maybe_unused]] const ssize_t written = ::write(g_pipe[1], &number, 1);
    errno = saved;
}

} // namespace

SignalCatcher::SignalCatcher(QObject* parent) : QObject(parent)
{
    if (g_pipe[0] < 0 && ::pipe2(g_pipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    g_arrived = 0;
    Notifier = new QSocketNotifier(g_pipe[0], QSocketNotifier::Read, this);
    connect(Notifier, &QSocketNotifier::activated, this, &SignalCatcher::ReadPipe);
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int i = 0; i < 3; ++i) {
        if (::sigaction(kCaught[i], nullptr, &Former[i]) != 0 || Former[i].sa_handler == SIG_IGN)
            continue;
        Installed[i] = ::sigaction(kCaught[i], &action, nullptr) == 0;
    }
}

SignalCatcher::~SignalCatcher()
{
    for (int i = 0; i < 3; ++i) {
        if (Installed[i])
            ::sigaction(kCaught[i], &Former[i], nullptr);
    }
}

bool SignalCatcher::Arrived()
{
    return g_arrived != 0;
}

void SignalCatcher::ReadPipe()
{
    unsigned char number = 0;
    while (::read(g_pipe[0], &number, 1) == 1) {
        if (Signal != 0)
            continue; // already ending
        Signal = number;
        emit SignalCaught(Signal);
    }
}

void SignalCatcher::EndIfCaught()
{
    if (Signal == 0)
        return;
    std::signal(Signal, SIG_DFL);
    std::raise(Signal);
}
