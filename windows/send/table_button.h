#pragma once
// The Action button of a send-table row. It owns the row's message and sends
// it when clicked, when the row's program-wide key is pressed, or when the
// row's trigger is set or reset: one frame for a rate of 0, else the start or
// the end of a periodic run.
#include "windows/send/can_send_message.h"

#include <QPushButton>

class CanSendTable;
class VyrGlobalAccelItem;
class VyrTrigger;
class VyrTriggerListener;

class TableButton : public QPushButton
{
    Q_OBJECT
public:
    TableButton(CanSendTable *table, QWidget *parent);
    // Detaches from the trigger (waiting for its realtime users as long as
    // it takes) before the message goes.
    ~TableButton() override;

    CanSendMessage *message() { return &m_message; }
    VyrGlobalAccelItem *accelerator() const { return m_accelerator; }
    // Binds the row to the trigger (null: to none). False, with the binding
    // unchanged, when a trigger refused its GUI lock; the call can be repeated.
    bool set_trigger(VyrTrigger *trigger);
    // The trigger the row listens to, or null.
    VyrTrigger *trigger() const;

    // The transmitted count last written into the table.
    unsigned transmitted_shown() const { return m_transmitted_shown; }
    void set_transmitted_shown(unsigned count) { m_transmitted_shown = count; }

public slots:
    // One frame, or the start or end of a periodic run.
    void send();
    // The click and the key: ends the table's edit first.
    void gui_send();
    // Red text while the row is the default data of a database message.
    void default_message_changed();

private:
    // Called by the trigger in the thread that changes it.
    static void trigger_action(VyrTriggerListener *listener, void *context);
    bool release_listener();

    CanSendTable *m_table;
    CanSendMessage m_message;
    VyrGlobalAccelItem *m_accelerator;
    VyrTriggerListener *m_listener = nullptr;
    unsigned m_transmitted_shown = ~0u;
};
