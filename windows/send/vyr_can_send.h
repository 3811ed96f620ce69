#pragma once
// The send window: a table of CAN and LIN frames, each row sent once per
// click, periodically with a rate and an optional count, on a program-wide
// key or when a trigger changes, with a transmitted count per row; and a
// dockable signal table that shows and edits the signals of the current
// row's frame through the interface's databases.
#include "core/frames/vyr_can_message.h"
#include "windows/base/vyr_data_window.h"

#include <QPoint>
#include <QString>

#include <vector>

class CANdbCluster;
class CanSendMessage;
class CanSendTable;
class HeaderToolTip;
class QDockWidget;
class QToolButton;
class TableButton;
class VyrCanIf;
class VyrCanSignalTable;
class VyrTrigger;

class VyrCanSend : public VyrDataWindow
{
    Q_OBJECT
public:
    static constexpr const char *class_key_text = "CanSend";
    enum Column { Channel, Identifier, Dlc, Data, Rate, Count, Transmitted, Key, Comment, Trigger, Action, column_count };
    // CTRL+X in the program's key numbering.
    static constexpr int default_key = 0x400058;

    explicit VyrCanSend(QWidget *parent);
    ~VyrCanSend() override;

    // The window-type registry's factory: a window, read from the group when one is given.
    static VyrDataWindow *create(QWidget *parent, QtbConfigGroup *group);
    void read_configuration(QtbConfigGroup *group);

    CanSendTable *table() const { return m_table; }
    // The Action button of a row, or null.
    TableButton *button(int row) const;
    VyrCanSignalTable *signal_table() const { return m_signal_table; }
    QDockWidget *signal_table_dock() const { return m_dock; }
    bool column_shown(int column) const { return m_columns[column].shown; }
    // The row whose button owns the message, or -1.
    int row_of(const CanSendMessage *message) const;

public slots:
    void setCaption(const QString &text);
    void write_configuration(QtbConfig *config) override;
    void startup() override;
    void stop() override;
    void state_changed() override;
    void update_signals() override;
    void remove_interface(const QString &interface_id) override;
    void interface_configuration_changed(const QString &interface_id) override;
    void shuffle_up();
    void shuffle_down();
    void add_message();
    int add_message(VyrCanIf *can, const QString &id, int dlc, const QString &data, unsigned rate, unsigned count,
                    long key, const QString &comment, VyrTrigger *trigger);
    void delete_selected_messages();
    void delete_message(int row);
    void value_changed(int row, int column);
    void message_data_changed(CanSendMessage *message);
    void show_signal_table();
    void update_signal_table();
    void data_from_signal_table_changed(VyrCanMessage *frame);
    void signal_table_destroyed();
    void toggle_column_visibility(int column);
    void show_column(int column);
    void show_column(int column, bool show);
    void show_context_menu(int row, int column, const QPoint &position);

private:
    struct ColumnRecord
    {
        bool shown = true;
        bool may_hide = true;
        int saved_width = 0;
    };

    // Applies every cell of the row.
    void apply_row(int row);
    void apply_identifier(int row);
    // Rows are removed from the last one up, each leaving the wheel first.
    void remove_rows(std::vector<int> rows);
    void swap_rows(int a, int b);
    void select_rows(const std::vector<int> &rows);
    std::vector<int> selected_rows() const;
    // Label of a row's button from its rate and run.
    void refresh_label(TableButton *button);
    // Rows bound to a trigger that leaves the list let go of it.
    void trigger_removed(VyrTrigger *trigger);

    CanSendTable *m_table = nullptr;
    HeaderToolTip *m_header_tips = nullptr;
    ColumnRecord m_columns[column_count];
    QToolButton *m_insert_button = nullptr;
    QToolButton *m_delete_button = nullptr;
    QToolButton *m_up_button = nullptr;
    QToolButton *m_down_button = nullptr;
    QToolButton *m_signal_table_button = nullptr;
    VyrCanSignalTable *m_signal_table = nullptr;
    QDockWidget *m_dock = nullptr;
    // The signal table edits a copy of the current row's frame, which goes
    // back into the row under the row's lock.
    VyrCanMessage m_signal_frame{};
    CanSendMessage *m_signal_message = nullptr;
    CANdbCluster *m_signal_cluster = nullptr;
    QString m_start_text;
    QString m_stop_text;
    QString m_send_text;
};
