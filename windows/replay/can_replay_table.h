#pragma once
// The table of the replay window: one row per log file with its interfaces,
// file, timing, mode, progress, comment, trigger and the row's action
// button. Cells carry typed items; their editors are combo boxes (the
// interfaces, the timings, the modes, the triggers) or a line editor, and a
// combo box ends the edit as soon as an entry is chosen.
#include <QPointer>
#include <QStyledItemDelegate>
#include <QTableWidget>
#include <QTableWidgetItem>

class VyrCanIf;
class VyrTrigger;

namespace replay_text {
// "File Timing" (-2), "One Message" (-1) or the number.
QString timing_text(int timing);
// The reverse: any other text its decimal value, 0 when it is none.
int timing_value(const QString &text);
// "Endless" (1), "One Shot" (2), "Invalid" for any other value.
QString mode_text(int mode);
// 1 for "Endless", 2 for anything else.
int mode_value(const QString &text);
// The trigger's name, " --- " for none.
QString trigger_text(const VyrTrigger *trigger);
} // namespace replay_text

// A cell that holds a CAN interface; its text is the interface's display name.
class ReplayChannelItem : public QTableWidgetItem
{
public:
    static constexpr int item_type = QTableWidgetItem::UserType + 1;
    explicit ReplayChannelItem(VyrCanIf *can);
    VyrCanIf *interface() const { return m_interface; }
    // Sets the interface and shows its name (empty for none).
    void set_interface(VyrCanIf *can);

private:
    VyrCanIf *m_interface;
};

// A cell that holds a trigger of the program's list, or none.
class ReplayTriggerItem : public QTableWidgetItem
{
public:
    static constexpr int item_type = QTableWidgetItem::UserType + 2;
    explicit ReplayTriggerItem(VyrTrigger *trigger);
    // Looked up by the cell's name in the program's trigger list; null when absent.
    VyrTrigger *trigger() const;
};

class CanReplayTable : public QTableWidget
{
    Q_OBJECT
public:
    enum Column { Channel, Channel2, File, Timing, Mode, Progress, Comment, Trigger, Action, column_count };

    explicit CanReplayTable(QWidget *parent);

    // The editor of the cell being edited, or null.
    QWidget *open_editor() const { return m_editor; }
    // True when the rows are in the selection (any of their cells).
    bool row_selected(int row) const;
    QList<int> selected_rows() const;

public slots:
    // Ends the cell edit in progress, accepting what the editor holds.
    void end_edit();

signals:
    // A cell's value changed through its editor.
    void value_changed(int row, int column);

private:
    friend class ReplayItemDelegate;
    QPointer<QWidget> m_editor;
};
