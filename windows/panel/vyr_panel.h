#pragma once
// The panel data window: a surface on which the user places controls and
// displays (panel items) and drives or watches interface signals through
// them. A panel lives in a panel file of its own (a UI 3.0-style XML text)
// or, without one, inside the workspace configuration. The Lock button on
// (and no measurement running) is the edit mode.
#include "windows/base/vyr_data_window.h"

#include <QColor>
#include <QFont>
#include <QPoint>
#include <QString>

#include <memory>
#include <vector>

class PanelItemTypeInfo;
class QCursor;
class QMouseEvent;
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
    // The file, font and colour dialogs, replaceable by tests. The file
    // dialogs answer an empty name, the colour dialog an invalid colour and
    // the font dialog false when cancelled. `name` is the dialog's object name.
    struct Desktop
    {
        QString (*choose_save_file)(QWidget *parent, const QString &start, const QString &filter);
        QString (*choose_open_file)(QWidget *parent, const QString &caption, const QString &filter);
        QString (*choose_graphic_file)(QWidget *parent, const QString &caption, const char *name,
                                       const QString &start, const QString &filter);
        bool (*choose_font)(QWidget *parent, const char *name, QFont &font);
        QColor (*choose_color)(QWidget *parent, const char *name, const QColor &start);
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
    void set_snap(bool on) { m_snap_to_grid = on; }
    int mouse_mode() const { return m_mouse_mode; }
    bool dragging() const { return m_dragging; }
    bool rubber_band_active() const { return m_rubber_band_active; }

    // Chooses the cursor for a point of an item's widget (selected items
    // only) and, with set_mode, the mouse mode: the sum of 1 left, 2 right,
    // 4 top and 8 bottom edge, or 16 to move.
    void update_mouse_mode(VyrPanelItem *item, const QPoint &point, bool set_mode);
    // The cursor of the item's widget and of its direct child widgets.
    void set_item_cursor(VyrPanelItem *item, const QCursor &cursor);

    // The edit operations of the context menu on the selected items; each
    // change sets modified.
    void align_items_to_grid();
    void enable_selected_items(bool enable);
    void choose_font_for_selected_items();
    void choose_color_for_selected_items();

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
    // A new item of the number-th registered type (from 1) at the insertion
    // point, snapped and sized to whole grid steps when snap is on, shown.
    VyrPanelItem *insert_new_item(int number);
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
    // The editing mouse handling on the viewport and the item widgets.
    bool eventFilter(QObject *object, QEvent *event) override;
    // The close questions; a refused close leaves the window open.
    void closeEvent(QCloseEvent *event) override;

private:
    std::unique_ptr<VyrPanelItem> make_item(const PanelItemTypeInfo *type);
    // The item whose widget is the object or one of its ancestors.
    VyrPanelItem *item_of(QObject *object) const;
    // The mouse on the empty surface: the rubber band.
    void surface_mouse_event(QMouseEvent *event);
    // A mouse or other event of an item's widget; whether it is consumed.
    bool item_event(VyrPanelItem *item, QEvent *event);
    void drag_to(VyrPanelItem *item, const QPoint &global_position);

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
