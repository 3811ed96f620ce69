#pragma once
// The editor of a timer trigger condition.
#include "forms/window_trigger_cond_timer_base.h"

class VyrTriggerCondData;

class VyrWindowTriggerCondTimer : public WindowTriggerCondTimerBase
{
    Q_OBJECT
public:
    explicit VyrWindowTriggerCondTimer(QWidget *parent = nullptr, const char *name = nullptr);

public slots:
    void set_cond_data(VyrTriggerCondData *data);
    void get_cond_data(VyrTriggerCondData *data);
    // Fills both trigger lists with the names of the program's triggers.
    void setup_trigger_list();
    // The cancel controls follow the cancel check box.
    void show_state();
};
