#pragma once
// The pane of the trigger settings dialog that edits the trigger list in
// place: new triggers are marked created, deleted ones marked deleted, a
// renamed trigger keeps its saved name until accept() or reject() settles
// the edits.
#include "forms/window_trigger_list_base.h"

class VyrTrigger;
class VyrTriggerList;

class VyrWindowTriggerList : public WindowTriggerListBase
{
    Q_OBJECT
public:
    VyrWindowTriggerList(VyrTriggerList *triggers, QWidget *parent = nullptr, const char *name = nullptr);

    // The trigger shown in the row, or null.
    VyrTrigger *trigger_at(int row) const;

public slots:
    void accept();
    void reject();
    void build();
    void show_state();
    void delete_selected_trigger();
    void create_new_trigger();
    void table_value_changed(int row, int column);

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    void append_row(VyrTrigger *trigger);
    // Puts the trigger's name back into its cell and opens the cell again.
    void refuse_name(int row, const QString &message);

    VyrTriggerList *m_triggers;
};
