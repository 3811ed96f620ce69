#pragma once
// The dialog that edits the two identifier filters of a CAN trace window:
// single identifiers and ranges typed as numbers, literals or message names
// of the interface's network database, with pass or block and on or off.
#include "forms/dialog_trace_filters_base.h"

#include <QIcon>
#include <QTreeWidgetItem>

#include <cstdint>

class CANdbCluster;
class VyrCanIf;
class VyrIdFilterList;

// The funnel of the trace filters, filled with the colour: the dialog's
// icon and the pictures of the trace window's filter buttons.
QIcon trace_filter_icon(const QColor &fill);

// One single identifier or range of a filter list; bit 31 of an identifier
// handed to the constructors marks an extended identifier.
class VyrTraceFilterItem : public QTreeWidgetItem
{
public:
    VyrTraceFilterItem(QTreeWidget *list, QTreeWidgetItem *after, CANdbCluster *database, uint32_t id);
    VyrTraceFilterItem(QTreeWidget *list, QTreeWidgetItem *after, CANdbCluster *database, uint32_t start,
                       uint32_t end);

    uint32_t start() const { return m_start; }
    uint32_t end() const { return m_end; }
    bool extended() const { return m_extended; }
    bool single() const { return m_start == m_end; }

private:
    uint32_t m_start;
    uint32_t m_end;
    bool m_extended;
    CANdbCluster *m_database;
};

class VyrDialogTraceFilters : public DialogTraceFiltersBase
{
    Q_OBJECT
public:
    explicit VyrDialogTraceFilters(QWidget *parent = nullptr, const char *name = nullptr, bool modal = false,
                                   Qt::WindowFlags flags = {});

    // Offers the message names of the interface's database; call before set_filter_lists.
    void set_database(VyrCanIf *owner);
    // Loads the lists given (null: that page stays) and clears the changed flag.
    void set_filter_lists(VyrIdFilterList *standard, VyrIdFilterList *extended);
    void set_filters_active(bool standard, bool extended);
    // Writes the pages into the lists given; true when anything changed.
    bool get_filter_lists(VyrIdFilterList *standard, VyrIdFilterList *extended);
    void get_filters_active(bool &standard, bool &extended) const;
    bool changed() const { return m_changed; }

public slots:
    void active_changed();
    void show_status();
    void std_delete_selected();
    void ext_delete_selected();
    void std_add_single();
    void ext_add_single();
    void std_add_range();
    void ext_add_range();
    void std_optimize();
    void ext_optimize();
    void help_context();

signals:
    void activate_help_context(const QString &key);

private:
    struct PageWidgets
    {
        QTreeWidget *list;
        QComboBox *single;
        QComboBox *start;
        QComboBox *end;
        QRadioButton *pass;
        QRadioButton *block;
        QTreeWidgetItem **last;
        bool extended;
    };
    PageWidgets page(bool extended);
    // The identifier the combo box names: a message name of the database or
    // an identifier literal of the page's width. False for an empty text, and
    // for any other text after a message box that says what is accepted.
    bool id_from_combo(QComboBox *combo, bool extended, uint32_t &id);
    VyrTraceFilterItem *find_covering_item(uint32_t start, uint32_t end, QTreeWidget *list) const;
    void append_item(const PageWidgets &widgets, uint32_t start, uint32_t end);
    void add_single(bool extended);
    void add_range(bool extended);
    void delete_selected(bool extended);
    void optimize(bool extended);
    void load_page(const PageWidgets &widgets, VyrIdFilterList &list);
    void store_page(const PageWidgets &widgets, VyrIdFilterList &list);

    VyrCanIf *m_database_owner = nullptr;
    CANdbCluster *m_database = nullptr;
    bool m_changed = false;
    QTreeWidgetItem *m_last_std = nullptr;
    QTreeWidgetItem *m_last_ext = nullptr;
};
