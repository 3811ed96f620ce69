#pragma once
// SIGTERM, SIGINT and SIGHUP end the program the ordinary way: they are
// blocked in every thread, so that none of them kills the process where it
// stands, and read from a signal descriptor that the event loop watches. The
// GUI thread then hears of each one through received().
#include <QObject>

class QSocketNotifier;

class VyrTerminationSignals : public QObject
{
    Q_OBJECT

public:
    // Blocks the signals in the calling thread; the threads it starts
    // afterwards inherit the mask. Called first thing in main, before any
    // thread exists. Programs this process starts get the signals back
    // (see platform's spawn of the daemon).
    static void block();

    // Watches the signal descriptor; a descriptor that cannot be made is
    // traced and nothing is watched.
    explicit VyrTerminationSignals(QObject *parent = nullptr);
    ~VyrTerminationSignals() override;

    bool watching() const { return m_fd >= 0; }

signals:
    // On the GUI thread, once per signal that arrived.
    void received(int signal_number);

private:
    void read_signals();

    int m_fd = -1;
    QSocketNotifier *m_notifier = nullptr;
};
