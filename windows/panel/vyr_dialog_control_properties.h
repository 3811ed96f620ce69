#pragma once
// The modal dialog in which the user edits one panel item: name, caption,
// enabled and read-only state, colour and font, script actions, the one or
// two bound signals with their ranges and default values, display options,
// bitmap and pointer graphics, LED settings, a string list, the values of a
// button when active and not, and the windows a panel button opens. It shows
// only the pages whose properties the item's widget has. Nothing reaches the
// item before apply_to_item, so Cancel discards every edit.
#include "forms/dialog_control_properties_base.h"

#include <QColor>
#include <QFont>
#include <QPointer>
#include <QString>

#include <memory>

class QLineEdit;
class QMenu;
class QTreeWidgetItem;
class VyrPanelItem;

class VyrDialogControlProperties : public DialogControlPropertiesBase
{
    Q_OBJECT
public:
    VyrDialogControlProperties(QWidget *parent, const char *name);
    // Detaches the shared signal selection dialog from this window.
    ~VyrDialogControlProperties() override;

    // Fills the pages from the item and removes those that do not fit it.
    void load_item(VyrPanelItem *item);
    // Writes the dialog's controls and state into the item and its widget.
    void apply_to_item(VyrPanelItem *item) const;

    // The signal chosen for binding 0 or 1 (interface id and signal name).
    const QString &signal_interface_id(int binding) const { return m_signal_if_id[binding]; }
    const QString &signal_name(int binding) const { return m_signal_name[binding]; }
    bool color_set() const { return m_color_set; }
    const QColor &foreground_color() const { return m_fg_color; }
    bool font_set() const { return m_font_set; }
    const QFont &chosen_font() const { return m_font; }
    bool strings_modified() const { return m_strings_modified; }
    bool strings_sorted() const { return m_sorted; }

    // The pop-up menus, built as they open; choosing an entry runs it.
    // row: the string row the menu was opened on, or null.
    std::unique_ptr<QMenu> build_string_context_menu(QTreeWidgetItem *row);
    // The menu of the bitmap (bitmap true) or pointer graphic file field.
    std::unique_ptr<QMenu> build_file_context_menu(bool bitmap);

public slots:
    void insert_signal(const QString &interface_id, const QString &signal_name);
    void trigger_item_double_clicked(QTreeWidgetItem *row);
    void add_action(QTreeWidgetItem *row);
    void add_action();
    void remove_action();
    void show_state();
    void clear_signal_1();
    void clear_signal_2();
    void show_signal_selection_dialog_1();
    void show_signal_selection_dialog_2();
    void show_fg_color_dialog();
    void show_font_dialog();
    void reset_fg_color();
    void reset_font();
    void tab_page_selected(QWidget *page);
    void string_set_modified();
    void string_add(const QString &text);
    void string_add();
    void string_delete();
    void string_move_up();
    void string_move_down();
    void string_start_rename(QTreeWidgetItem *row);
    void string_show_state();
    void string_show_context_menu(QTreeWidgetItem *row, const QPoint &position, int column);
    void open_bitmap_context_menu();
    void open_bitmap_file_dialog();
    void show_bitmap_graphic();
    void open_picture_context_menu();
    void open_picture_file_dialog();
    void show_picture_graphic();

protected:
    // Delete removes the selected strings.
    void keyPressEvent(QKeyEvent *event) override;

private:
    void remove_page(QWidget *page);
    void open_signal_picker(int target);
    // Asks for a graphics file; a readable one goes into the field.
    bool choose_graphic_file(QLineEdit *field, const QString &caption, const char *name, const QString &filter);

    QString m_signal_if_id[2];
    QString m_signal_name[2];
    int m_picker_target = 0;
    QPointer<QDialog> m_signal_dialog;
    QColor m_fg_color;
    QColor m_bg_color;
    bool m_color_set = false;
    QFont m_font;
    bool m_font_set = false;
    bool m_strings_modified = false;
    bool m_sorted = false;
};
