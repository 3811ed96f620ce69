#pragma once
// The dialog "Interface List": one row per configured interface, grouped by
// type in registry order (Type, Instance, Name, Info). The name cell renames
// its interface as it is typed; Configure opens the interface's settings
// dialog, New offers every registered type, Delete removes an interface
// without asking. Every change acts on the live interfaces at once.
#include "forms/dialog_module_list_base.h"

#include <functional>

class QMenu;
class VyrSignalIf;

class VyrDialogModuleList : public DialogModuleListBase
{
    Q_OBJECT

public:
    // The menu ids of the create menu: 2000 + the type's registry index.
    static constexpr int create_id_base = 2000;

    explicit VyrDialogModuleList(QWidget *parent = nullptr, const char *name = nullptr, bool modal = true,
                                 Qt::WindowFlags flags = {});

    // Answers whether a measurement runs: while one does, no interface is
    // configured or deleted (the threads use them).
    void set_measurement_running_query(std::function<bool()> query) { m_measurement_running = std::move(query); }
    // The create menu as it is built for the registry (built on first use,
    // then cleared and refilled); the caller runs it.
    QMenu *create_menu();

signals:
    void activate_help_context(const QString &key);
    // A new interface of the type at registry index id - 2000 is wanted.
    void show_config_dialog(int id);
    // An interface was configured or deleted.
    void configuration_changed();

public slots:
    void show_state();
    void table_value_changed(int row, int column);
    void configure_selected_module_by_double_click(int row, int column);
    void delete_selected_module();
    void configure_selected_module();
    void create_new_module();
    void context_help();
    void accept() override;
    void build();

private:
    // The interface whose identifier the row's Instance cell holds; null when none has it.
    VyrSignalIf *interface_of_row(int row) const;
    void configure_row(int row);
    bool measurement_running() const { return m_measurement_running && m_measurement_running(); }
    // The first selected row, -1 when none is.
    int selected_row() const;

    QMenu *m_create_menu = nullptr;
    std::function<bool()> m_measurement_running;
    // Set while build fills the table, whose cell changes are no renames.
    bool m_building = false;
};
