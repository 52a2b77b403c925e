#include "SignalPipe.h"

#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace joblet::batchcli {

namespace {

constexpr int Signals[] = {SIGINT, SIGTERM};
int pipeFds[2] = {-1, -1};

void onSignal(int signalNumber)
{
    const int saved = errno;
    const unsigned char byte = static_cast<unsigned char>(signalNumber);
    // A full pipe already holds enough wake-ups; nothing to do about it here.
    [[maybe_unused]] const ssize_t written = ::write(pipeFds[1], &byte, 1);
    errno = saved;
}

void setAction(void (*handler)(int))
{
    for (const int number : Signals) {
        struct sigaction action {};
        action.sa_handler = handler;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART;
        ::sigaction(number, &action, nullptr);
    }
}

} // namespace

void SignalPipe::install()
{
    if (pipeFds[0] >= 0)
        return;
    if (::pipe2(pipeFds, O_CLOEXEC | O_NONBLOCK) != 0)
        qFatal("joblet-batch: no pipe for signals");
    setAction(onSignal);
}

void SignalPipe::restoreDefaults()
{
    setAction(SIG_DFL);
    unsigned char byte;
    if (pipeFds[0] >= 0 && ::read(pipeFds[0], &byte, 1) == 1)
        ::raise(int(byte));
}

SignalPipe::SignalPipe(QObject *parent)
    : QObject(parent)
{
    install();
    m_notifier = new QSocketNotifier(pipeFds[0], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &SignalPipe::drain);
}

SignalPipe::~SignalPipe()
{
    // The handlers stay installed; they must find a pipe that still exists,
    // so the descriptors stay open until the process ends.
    delete m_notifier;
}

void SignalPipe::drain()
{
    unsigned char byte;
    while (::read(pipeFds[0], &byte, 1) == 1)
        Q_EMIT received(int(byte));
}

} // namespace joblet::batchcli
