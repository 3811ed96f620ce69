#pragma once
// The dialog around the editor of one condition kind, and the editing of a
// condition's data through it.
#include <QDialog>

class QPushButton;
class VyrTriggerCondData;
class VyrTriggerCondKind;

class VyrDialogTriggerCondSettings : public QDialog
{
    Q_OBJECT
public:
    VyrDialogTriggerCondSettings(QWidget *parent, const VyrTriggerCondKind *kind);

    // The kind's editor (null when none is installed).
    QWidget *editor() const { return m_editor; }

signals:
    void signal_set_cond_data(VyrTriggerCondData *data);
    void signal_get_cond_data(VyrTriggerCondData *data);
    void activate_help_context(const QString &page);

private:
    QWidget *m_editor;
    QPushButton *m_ok;
    QPushButton *m_cancel;
    QPushButton *m_help;
};

// Opens the dialog of the data's kind on the data and, when it is accepted,
// writes the editor's values back into the same data. Nothing happens for a
// kind that is not registered.
void edit_cond_data(QWidget *parent, VyrTriggerCondData *data);

// Tests see the dialog before it runs (null: none).
void set_trigger_cond_dialog_observer(void (*observer)(VyrDialogTriggerCondSettings *dialog));

// Installs the editors of the four kinds in the kind registry.
void install_trigger_cond_editors();
