#pragma once
// The replay window: a table of log files to play back onto CAN
// interfaces, one row each with its interfaces, timing, end-of-file mode,
// optional trigger and comment, and a button that starts and stops the
// replay or sends one record at a time. It keeps the rows in the
// configuration, follows interfaces that are renamed or removed, picks files
// through a file dialog of the formats that can be replayed and shows per
// row how many records were sent.
#include "windows/base/vyr_data_window.h"

#include <QString>

#include <array>

class CanReplayTable;
class QToolButton;
class ReplayTableButton;
class VyrCanIf;
class VyrTrigger;

class VyrCanReplay : public VyrDataWindow
{
    Q_OBJECT
public:
    static constexpr const char *class_key_text = "CanReplay";
    static constexpr int default_timing_ms = 10;

    // What the file dialog asks the desktop; tests replace them.
    struct Desktop
    {
        // An open-file dialog with the caption, start directory and filter; empty when cancelled.
        QString (*choose_open_file)(QWidget *parent, const QString &caption, const QString &start,
                                    const QString &filter);
        void (*show_error)(QWidget *parent, const QString &caption, const QString &text);
    };
    static Desktop &desktop();

    explicit VyrCanReplay(QWidget *parent);
    ~VyrCanReplay() override;

    // The window-type registry's factory: a window, read from the group when one is given.
    static VyrDataWindow *create(QWidget *parent, QtbConfigGroup *group);
    void read_configuration(QtbConfigGroup *group);

    // The replay file dialog, starting from the current name: the chosen
    // file (relative to the current directory when possible), or empty.
    QString choose_replay_file(const QString &current);
    // The filter of the file dialog and the HTML list of the formats that can be replayed.
    static QString replay_filter(QString *format_list = nullptr);

    CanReplayTable *table() const { return m_table; }
    // The row's button, or null.
    ReplayTableButton *button(int row) const;
    bool column_visible(int column) const { return m_columns[column].visible; }

public slots:
    void write_configuration(QtbConfig *config) override;
    void startup() override;
    void stop() override;
    void state_changed() override;
    void update_signals() override;
    void remove_interface(const QString &interface_id) override;
    void interface_configuration_changed(const QString &interface_id) override;
    void double_clicked(int row, int column, int button);
    void shuffle_up();
    void shuffle_down();
    void add_message();
    int add_message(VyrCanIf *canif, VyrCanIf *canif2, const QString &file_name, int timing, int mode,
                    const QString &comment, VyrTrigger *trigger);
    void delete_selected_lines();
    void delete_line(int row);
    void value_changed(int row, int column);
    void toggle_column_visibility(int column);
    void show_column(int column);
    void show_column(int column, bool visible);
    void show_context_menu(int row, int column, const QPoint &position);

private:
    struct ColumnRecord
    {
        QString menu_name;
        bool visible = true;
        int saved_width = 0;
    };

    QToolButton *add_tool_button(const char *name, const QString &tip, const QString &letters);
    void remove_row(int row);
    // Swaps two rows' items and buttons.
    void swap_rows(int first, int second);
    void shuffle(int direction);
    // The row's caption from its timing and state.
    static QString caption_for(const ReplayTableButton &button);

    CanReplayTable *m_table = nullptr;
    QToolButton *m_insert_button = nullptr;
    QToolButton *m_delete_button = nullptr;
    QToolButton *m_up_button = nullptr;
    QToolButton *m_down_button = nullptr;
    std::array<ColumnRecord, 9> m_columns;
};
