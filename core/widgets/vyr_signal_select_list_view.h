#pragma once
// The list of the signal selection: a tree of signal names (built from the
// parts of the dotted names) that jumps to the first item beginning with a
// typed text.
#include <QTreeWidget>
#include <QTreeWidgetItem>

class VyrSignalSelectListView : public QTreeWidget
{
    Q_OBJECT
public:
    explicit VyrSignalSelectListView(QWidget *parent = nullptr);

protected:
    // Makes the first item (in tree order) whose column 0 text begins with the
    // typed text visible, then handles the key as the tree does.
    void keyPressEvent(QKeyEvent *event) override;
};

class SignalRecord;

// An item of the signal selection: a signal (with its record) or an
// interface, group or name-part item (without).
class VyrSignalSelectItem : public QTreeWidgetItem
{
public:
    // Not yet in a view: the caller inserts it where it belongs.
    VyrSignalSelectItem() = default;
    explicit VyrSignalSelectItem(QTreeWidget *view);
    explicit VyrSignalSelectItem(QTreeWidgetItem *parent);

    SignalRecord *signal() const { return m_signal; }
    void set_signal(SignalRecord *signal) { m_signal = signal; }

    bool case_insensitive() const { return m_case_insensitive; }
    void set_case_insensitive(bool on) { m_case_insensitive = on; }

    // By the text of the sort column, lower-cased when this item is case-insensitive.
    bool operator<(const QTreeWidgetItem &other) const override;

private:
    bool m_case_insensitive = false;
    SignalRecord *m_signal = nullptr;
};
