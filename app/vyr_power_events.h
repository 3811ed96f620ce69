#pragma once
// The system's suspend and resume notices: logind's PrepareForSleep signal
// on the system bus, turned into the power event codes the main window
// handles. Without a system bus there are no power events (one debug line).
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
