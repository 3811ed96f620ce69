#include "app/vyr_termination_signals.h"

#include "settings/debug_trace.h"

#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <sys/signalfd.h>
#include <unistd.h>

namespace {

sigset_t termination_signals()
{
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGHUP);
    return set;
}

} // namespace

void VyrTerminationSignals::block()
{
    const sigset_t set = termination_signals();
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
}

VyrTerminationSignals::VyrTerminationSignals(QObject *parent) : QObject(parent)
{
    const sigset_t set = termination_signals();
    m_fd = signalfd(-1, &set, SFD_NONBLOCK | SFD_CLOEXEC);
    if (m_fd < 0) {
        debug_trace("VyrTerminationSignals: signalfd failed: %s", std::strerror(errno));
        return;
    }
    m_notifier = new QSocketNotifier(m_fd, QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &VyrTerminationSignals::read_signals);
}

VyrTerminationSignals::~VyrTerminationSignals()
{
    delete m_notifier;
    if (m_fd >= 0)
        ::close(m_fd);
}

void VyrTerminationSignals::read_signals()
{
    signalfd_siginfo info;
    while (::read(m_fd, &info, sizeof info) == ssize_t(sizeof info)) {
        debug_trace("VyrTerminationSignals: signal %u (%s) from pid %u", info.ssi_signo,
                    strsignal(int(info.ssi_signo)), info.ssi_pid);
        emit received(int(info.ssi_signo));
    }
}
