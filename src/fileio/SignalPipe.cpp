#include "SignalPipe.h"

#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

#include <vector>

namespace joblet {

namespace {

int pipeFds[2] = {-1, -1};
std::vector<int> handled;

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
    for (const int number : handled) {
        struct sigaction action {};
        action.sa_handler = handler;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART;
        ::sigaction(number, &action, nullptr);
    }
}

} // namespace

void SignalPipe::install(std::initializer_list<int> numbers)
{
    if (pipeFds[0] >= 0)
        return;
    if (::pipe2(pipeFds, O_CLOEXEC | O_NONBLOCK) != 0)
        return; // the signals then keep their default: the program ends
    handled.assign(numbers);
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
    if (pipeFds[0] < 0)
        return;
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
    while (::read(pipeFds[0], &byte, 1) == 1) {
        m_any = true;
        Q_EMIT received(int(byte));
    }
}

} // namespace joblet
