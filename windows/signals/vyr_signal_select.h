#pragma once
// The one dialog through which signals of the interfaces are picked and
// handed to a window: every listed signal twice, as a tree of its dotted
// name ("Message Tree") and as a flat table ("Signal List"). Each pick is
// announced with selected(interface id, full signal name). There is at most
// one instance; windows reach it only through the free functions below.
#include <QDialog>
#include <QString>

class QPushButton;
class QTabWidget;
class QTreeWidgetItem;
class QWidget;
class SignalRecord;
class VyrSignalIf;
class VyrSignalList;
class VyrSignalSelectItem;
class VyrSignalSelectListView;

class VyrSignalSelect : public QDialog
{
    Q_OBJECT
public:
    // Columns of the two lists.
    enum TreeColumn { TreeName, TreeDirection, TreeFormat, TreeType, TreeRate, TreeMin, TreeMax, TreeOffset, TreeFactor };
    enum ListColumn {
        ListName,
        ListMessage,
        ListDatabase,
        ListIface,
        ListDirection,
        ListFormat,
        ListType,
        ListRate,
        ListMin,
        ListMax,
        ListFactor,
        ListOffset
    };

    VyrSignalSelect(QWidget *parent, const char *name, bool modal);
    ~VyrSignalSelect() override;

    // Adds the signals of one interface that pass the filters to both lists;
    // nothing for a null list. value_type_filter 1 takes every value type,
    // direction_filter 0 every direction (in/out signals pass any).
    void fill_lists(VyrSignalList *list, const QString &interface_name, int value_type_filter,
                    int direction_filter);

    int value_type_filter() const { return m_value_type_filter; }
    int direction_filter() const { return m_direction_filter; }
    void set_filters(int value_type_filter, int direction_filter);

    VyrSignalSelectListView *message_tree() const { return m_message_tree; }
    VyrSignalSelectListView *signal_list() const { return m_signal_list; }
    QTabWidget *tab_widget() const { return m_tabs; }

public slots:
    // A leaf with a signal of an interface is picked; the item loses its selection.
    void doubleClicked(QTreeWidgetItem *item);
    // "&Add": the selection of the current tab, a selected group with every signal below it.
    void add_selected();
    void add_selected(VyrSignalSelectItem *item);
    // Walks item and its following siblings depth first; all picks every leaf met.
    void add_selected(VyrSignalSelectItem *item, bool all);
    void context_help();

signals:
    void selected(const QString &interface_id, const QString &signal_name);
    void activate_help_context(const QString &key);

private:
    void fill_message_tree(VyrSignalList *list, const QString &interface_name, int value_type_filter,
                           int direction_filter);
    void fill_signal_list(VyrSignalList *list, const QString &interface_name, int value_type_filter,
                          int direction_filter);
    // Emits selected for the item's signal when it has one with an owner.
    void emit_selected(const VyrSignalSelectItem *item);
    static void deselect(QTreeWidgetItem *item);

    QWidget *m_message_tree_page = nullptr;
    VyrSignalSelectListView *m_message_tree = nullptr;
    QWidget *m_signal_list_page = nullptr;
    VyrSignalSelectListView *m_signal_list = nullptr;
    QTabWidget *m_tabs = nullptr;
    QPushButton *m_add_button = nullptr;
    QPushButton *m_close_button = nullptr;
    QPushButton *m_help_button = nullptr;
    int m_value_type_filter = 1;
    int m_direction_filter = 0;
};

// The dialog for the window, not shown: made and filled with the signals of
// every interface (only those of the given one when it is not null) when
// there is none or the one there was filled with other filters; otherwise
// the one there, taken over by the window (its lists as they were). Its
// selected signal goes to the window's insert_signal(QString,QString) slot
// and to nothing else.
VyrSignalSelect *open_signal_select_dialog(QWidget *window, bool modal, VyrSignalIf *interface_or_null,
                                           int value_type_filter, int direction_filter);
// Drops the dialog: the next opening lists the signals anew.
void delete_signal_select_dialog();
// When the window owns the dialog: frees it from the window and from every receiver.
void detach_signal_select_dialog(QWidget *window);
// The dialog there is, or null.
VyrSignalSelect *signal_select_dialog();
