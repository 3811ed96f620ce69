#pragma once
// The table in which the settings dialogs edit a VyrPropertyList: one row per
// property with its name, value and unit; only the value column is editable,
// each value kind with its own editor (a combo box for choices and "On"/"Off",
// a frameless line edit with a validator for numbers, a plain one for text).
#include <QTableWidget>

class VyrPropertyList;

class QPropertyTable : public QTableWidget
{
    Q_OBJECT

public:
    explicit QPropertyTable(QWidget *parent = nullptr, const char *name = nullptr);

    // Empties the table and fills one row per property of the list.
    void set_properties(const VyrPropertyList *list);
    // Finishes the running edit and stores every value cell whose text the
    // user changed into the list's property of the row's name; sets *changed
    // when a value changed (it is never cleared here).
    void get_properties(VyrPropertyList *list, bool *changed);

public slots:
    // Finishes the edit in progress, keeping what was typed or chosen.
    void end_edit();

signals:
    void delete_key_pressed();

protected:
    void keyPressEvent(QKeyEvent *event) override;
};
