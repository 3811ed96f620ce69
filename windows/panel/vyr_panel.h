#pragma once
// The panel data window: a surface on which the user places controls and
// displays (panel items) and drives or watches interface signals through
// them. A panel lives in a panel file of its own (a UI 3.0-style XML text)
// or, without one, inside the workspace configuration. The Lock button on
// (and no measurement running) is the edit mode.
#include "windows/base/vyr_data_window.h"

#include <QPoint>
#include <QString>

#include <memory>
#include <vector>

class QToolButton;
class VyrPanelItem;
class VyrPanelWindow;
class VyrScriptRuntime;

// The icon of the window and of its menu entry.
extern const char *const panel_xpm[];

class VyrPanel : public VyrDataWindow
{
    Q_OBJECT
public:
    // The file dialogs, replaceable by tests. Both answer an empty name when cancelled.
    struct Desktop
    {
        QString (*choose_save_file)(QWidget *parent, const QString &start, const QString &filter);
        QString (*choose_open_file)(QWidget *parent, const QString &caption, const QString &filter);
    };
    static Desktop &desktop();

    explicit VyrPanel(QWidget *parent);
    ~VyrPanel() override;

    // The window factory of the "panel" row: reads the group when given.
    static VyrDataWindow *create(QWidget *parent, QtbConfigGroup *group);
    // The panel functions of an interface's script (windows/panel/panel_script_api.h):
    // compiles their header as a prelude (a failure is logged as
    // "VyrPanel:: r = %d") and binds every function that it declared; the
    // compiler's result.
    static int register_script_api(VyrScriptRuntime *runtime);

    // Asked before the configuration is closed or replaced.
    bool query_close() override;

    VyrPanelWindow *panel_window() const { return m_panel_window; }
    const std::vector<std::unique_ptr<VyrPanelItem>> &items() const { return m_items; }
    const std::vector<VyrPanelItem *> &selection() const { return m_selection; }
    QToolButton *open_button() const { return m_open_button; }
    QToolButton *save_button() const { return m_save_button; }
    QToolButton *grid_button() const { return m_grid_button; }
    QToolButton *lock_button() const { return m_lock_button; }

    bool is_modified() const { return m_modified; }
    void set_modified(bool modified);
    // A file name that is not an imported ".cnp" description.
    bool has_panel_file() const;
    // From now on the panel is kept in the configuration.
    void clear_panel_file();
    void store_in_panel_file();
    void update_title();
    // Resolves every action entry again and warns about those that stay unresolved.
    void check_actions();
    // Rounds to the nearest grid line when snap is on.
    QPoint snap_to_grid(const QPoint &point) const;
    int grid_x() const { return m_grid_x; }
    int grid_y() const { return m_grid_y; }
    bool snap() const { return m_snap_to_grid; }

    // An item of the named type on the viewport, prepared but not yet part of
    // the panel; null for an unknown type. The file and configuration readers
    // collect such items and adopt them once their source was read whole.
    std::unique_ptr<VyrPanelItem> make_item(const QString &type_name);
    // Appends prepared items to the panel and shows their widgets.
    void adopt_items(std::vector<std::unique_ptr<VyrPanelItem>> items);
    // Reads a "controls" configuration group and the panel file name.
    void read_configuration(QtbConfigGroup *group);
    // Key handling shared with the panel window.
    void panel_key_press(QKeyEvent *event);

public slots:
    void write_configuration(QtbConfig *config) override;
    void set_selected_item_by_widget(QWidget *widget, bool add);
    // Null clears the selection; otherwise the item joins it (add) or replaces it.
    void set_selected_item(VyrPanelItem *item, bool add);
    void register_signal_notifiers();
    void startup() override;
    void stop() override;
    void state_changed() override;
    void update_signals() override;
    void show_property_dialog_for_selected_item();
    void delete_selected_item();
    // A new item of the named type at (0, 0), hidden, appended to the panel;
    // null (and nothing changes) for an unknown type.
    VyrPanelItem *insert_new_item(const QString &type_name);
    QString get_filename() const { return m_file_name; }
    void set_filename(const QString &file_name);
    bool save_panel_to_file();
    bool read_panel_from_file();
    bool read_panel_from_file(const QString &file_name);
    bool is_locked() const;
    bool is_grid_on() const;
    bool is_item_selected(VyrPanelItem *item) const;
    void show_selections(bool show);

    void signal_changed(const QString &interface_id, const QString &signal_name) override;
    void remove_interface(const QString &interface_id) override;
    void add_interface(const QString &interface_id) override;
    void interface_configuration_changed(const QString &interface_id) override;

protected:
    void keyPressEvent(QKeyEvent *event) override;
    // The close questions; a refused close leaves the window open.
    void closeEvent(QCloseEvent *event) override;

private:
    // Reads the file into the panel; on failure the panel stays as it was
    // and the message goes to the box "Error" (interactive) or the message window.
    bool load_panel_file(const QString &file_name, bool interactive);
    // Asks "Yes/No/Cancel" about saving a modified panel file; false for Cancel
    // or a failed save.
    bool save_before_close();
    // Imports a foreign ".cnp" description: its elements become items placed
    // as the file says; an unreadable file is reported and changes nothing.
    bool import_cnp_file(const QString &file_name, bool interactive);
    void report_error(const QString &text, bool interactive);

    VyrPanelWindow *m_panel_window = nullptr;
    int m_handle_width = 5;
    std::vector<std::unique_ptr<VyrPanelItem>> m_items;
    std::vector<VyrPanelItem *> m_selection;
    QPoint m_drag_anchor;
    bool m_dragging = false;
    bool m_rubber_band_active = false;
    int m_mouse_mode = 0;
    int m_grid_x = 10;
    int m_grid_y = 10;
    bool m_snap_to_grid = true;
    QToolButton *m_open_button = nullptr;
    QToolButton *m_save_button = nullptr;
    QToolButton *m_grid_button = nullptr;
    QToolButton *m_lock_button = nullptr;
    bool m_modified = false;
    QString m_file_name;
};
