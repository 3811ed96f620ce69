#pragma once
// The pane of the trigger settings dialog that edits the condition list in
// place. Each row holds a copy of its condition's data; the copies, the
// actions and the targets go into the conditions only at accept().
#include "forms/window_trigger_cond_list_base.h"

#include <memory>
#include <vector>

class QComboBox;
class VyrTriggerCond;
class VyrTriggerCondData;
class VyrTriggerCondList;
class VyrTriggerList;

class VyrWindowTriggerCondList : public WindowTriggerCondListBase
{
    Q_OBJECT
public:
    VyrWindowTriggerCondList(VyrTriggerList *triggers, VyrTriggerCondList *conditions, QWidget *parent = nullptr,
                             const char *name = nullptr);
    ~VyrWindowTriggerCondList() override;

    VyrTriggerCond *condition_at(int row) const;
    // The row's pending data, or null.
    VyrTriggerCondData *pending_data(int row) const;
    // The cell combo boxes of a row: kind (0), action (2), trigger (3).
    QComboBox *cell_combo(int row, int column) const;
    // Refills the trigger cells with the triggers the trigger pane now shows
    // (renamed ones under their new names), keeping each row's choice.
    void update_trigger_names();

public slots:
    // Run before the trigger pane's accept, which deletes the triggers
    // marked deleted and so clears the conditions' targets on them.
    void accept();
    void reject();
    void build();
    void show_state();
    void delete_selected_trigger_cond();
    void create_new_trigger_cond();
    void on_double_click(int row, int column, int button, const QPoint &position);
    void table_value_changed(int row, int column);

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    struct Row
    {
        VyrTriggerCond *condition;
        std::unique_ptr<VyrTriggerCondData> data;
    };
    void append_row(VyrTriggerCond *condition, const QString &description);
    void kind_chosen(QComboBox *combo, int index);

    VyrTriggerList *m_triggers;
    VyrTriggerCondList *m_conditions;
    std::vector<Row> m_rows;
};
