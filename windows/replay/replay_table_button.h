#pragma once
// The push button in a replay row's Action cell. It owns the row's
// CanReplayFile and starts, stops or steps it, on a click or when the row's
// trigger is set. Trigger notices come in the thread that sets the trigger;
// the button posts them to the GUI thread, where every row action runs.
#include "windows/replay/can_replay_file.h"

#include <QPushButton>

#include <memory>

class CanReplayTable;
class VyrDataWindow;
class VyrTrigger;
class VyrTriggerListener;

class ReplayTableButton : public QPushButton
{
    Q_OBJECT
public:
    ReplayTableButton(CanReplayTable *table, VyrDataWindow *window, const QString &caption);
    // Detaches the trigger listener (waiting for the trigger's realtime users) and leaves the wheel.
    ~ReplayTableButton() override;

    CanReplayFile &replay() { return m_replay; }
    // Replaces the row's trigger (null: none). When the old trigger refuses
    // its GUI lock, its listener stays attached and the change is tried again
    // shortly; the destructor always detaches it.
    void set_trigger(VyrTrigger *trigger);
    // The trigger the row listens to, or null.
    VyrTrigger *trigger() const;
    // A trigger change waits for the old trigger's lock.
    bool trigger_change_pending() const { return m_trigger_pending; }

public slots:
    // One-message mode: sends one record; else stops a running replay or starts it.
    void send();
    // A click: accepts the cell edit in progress, then send().
    void gui_send();

private:
    static void trigger_changed(VyrTriggerListener *listener, void *context);
    void retry_trigger();

    CanReplayTable *m_table;
    CanReplayFile m_replay;
    std::unique_ptr<VyrTriggerListener> m_listener;
    VyrTrigger *m_wanted_trigger = nullptr;
    bool m_trigger_pending = false;
};
