#include "app/ui/quitsignals.h"

#include "player/framesource.h"

#include <QSocketNotifier>

#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace zorvane {
namespace {

int g_wake[2] = {-1, -1};

extern "C" void onQuitSignal(int)
{
    stopAllDecoding();
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(g_wake[0], &byte, 1);
}

void handle(int signal, void (*handler)(int))
{
    struct sigaction action = {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(signal, &action, nullptr);
}

} // namespace

QuitSignals::QuitSignals(std::function<void()> quit, QObject *parent) : QObject(parent), m_quit(std::move(quit))
{
    // Without the pair the signals keep their default: the process ends
    // at once, which the journal survives too.
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, g_wake) != 0)
        return;
    m_notifier = new QSocketNotifier(g_wake[1], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &QuitSignals::takeSignal);
    handle(SIGTERM, onQuitSignal);
    handle(SIGINT, onQuitSignal);
}

QuitSignals::~QuitSignals()
{
    handle(SIGTERM, SIG_DFL);
    handle(SIGINT, SIG_DFL);
    for (int &end : g_wake) {
        if (end >= 0)
            ::close(end);
        end = -1;
    }
}

void QuitSignals::takeSignal()
{
    char byte = 0;
    [[maybe_unused]] const ssize_t read = ::read(g_wake[1], &byte, 1);
    m_notifier->setEnabled(false);
    m_quit();
}

} // namespace zorvane
