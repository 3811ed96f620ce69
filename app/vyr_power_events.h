#pragma once
// The system's power on the system bus, where logind serves it: its suspend
// and resume notices (the PrepareForSleep signal), turned into the power
// event codes the main window handles, and the requests to halt, power off
// or reboot the machine. Without a system bus there are no power events
// (one debug line) and the requests fail.
#include <QObject>

class VyrPowerEvents : public QObject
{
    Q_OBJECT

public:
    // Power event codes.
    static constexpr int suspending = 4;
    static constexpr int resumed_automatically = 18;

    explicit VyrPowerEvents(QObject *parent);
    // True when the system bus was reached and the signal is watched.
    bool watching() const { return m_watching; }

signals:
    void power_event(int code);

private slots:
    void prepare_for_sleep(bool start);

private:
    bool m_watching = false;
};

// Asks logind to halt (mode 0), power off (1) or reboot (2) the machine, not
// interactively; 0 when it took the request, -1 otherwise.
int request_system_shutdown(int mode);
