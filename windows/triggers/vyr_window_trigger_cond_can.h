#pragma once
// The editor of a CAN trigger condition: the channel among the CAN
// interfaces, a single identifier (or "Error Frame") or a range, typed or
// chosen among the channel's message names, and eight byte tests.
#include "forms/window_trigger_cond_can_base.h"

class VyrTriggerCondData;

class VyrWindowTriggerCondCan : public WindowTriggerCondCanBase
{
    Q_OBJECT
public:
    explicit VyrWindowTriggerCondCan(QWidget *parent = nullptr, const char *name = nullptr);

public slots:
    void set_cond_data(VyrTriggerCondData *data);
    void get_cond_data(VyrTriggerCondData *data);
    // Refills the identifier lists from the chosen channel, keeping the texts.
    void channel_changed();
    void enable_single_id_entry();
    void enable_id_range_entry();
    // Each byte row's controls follow its check box.
    void show_state();
};
