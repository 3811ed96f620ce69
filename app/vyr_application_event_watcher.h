#pragma once
// The application-wide key filter of the main window: during a measurement
// it hands every key press to the global accelerators, except the keys typed
// into line edits and combo boxes.
#include <QObject>

class VyrApplicationEventWatcher : public QObject
{
    Q_OBJECT

public:
    explicit VyrApplicationEventWatcher(QObject *parent);

    // Set at measurement start and cleared at stop.
    void set_enabled(bool enabled) { m_enabled = enabled; }

protected:
    // True (consumed) when an accelerator of the key fired.
    bool eventFilter(QObject *receiver, QEvent *event) override;

private:
    bool m_enabled = false;
};
