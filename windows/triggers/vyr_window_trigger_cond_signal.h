#pragma once
// The editor of a signal trigger condition: one row per relation (signal,
// relation, value and whether the value is raw).
#include "forms/window_trigger_cond_signal_base.h"

#include <functional>

class VyrTriggerCondData;
class VyrWindowTriggerCondSignal;

// Opens the signal selection for the editor, which calls insert_signal for
// each chosen signal. The signal selection dialog installs it; without it
// "Insert Signals" does nothing.
using TriggerSignalDialogHook = std::function<void(VyrWindowTriggerCondSignal *editor)>;
void set_trigger_signal_dialog_hook(TriggerSignalDialogHook hook);

class VyrWindowTriggerCondSignal : public WindowTriggerCondSignalBase
{
    Q_OBJECT
public:
    enum Column { SignalColumn = 0, RelationColumn = 1, ValueColumn = 2, ScalingColumn = 3 };

    explicit VyrWindowTriggerCondSignal(QWidget *parent = nullptr, const char *name = nullptr);

public slots:
    void set_cond_data(VyrTriggerCondData *data);
    void get_cond_data(VyrTriggerCondData *data);
    // Appends a relation "== 0" on the signal of the interface (its identifier).
    void insert_signal(const QString &interface_id, const QString &signal_name);
    void open_signal_dialog();
    void delete_selected_signals();

private:
    void append_row(const QString &interface_id, const QString &signal_name, int relation, double value, bool raw);
};
