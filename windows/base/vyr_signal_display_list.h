#pragma once
// The signals a data window displays, in display order, with the user's
// selection and a cursor entry. Windows that show signals derive a list
// whose create_entry makes their own entry type. Each entry with a signal
// counts as one use of the signal while it is in the list.
#include "core/vyr_signal_listener.h"

#include <QObject>
#include <QString>

#include <vector>

class VyrDataWindow;

// One displayed signal; a placeholder when the signal was not found.
class SignalDisplayEntry : public VyrSignalListener
{
public:
    explicit SignalDisplayEntry(SignalRecord *signal) : m_signal(signal) {}
    ~SignalDisplayEntry() override { detach(); }

    void value_changed(const SignalValue &) override {}

    SignalRecord *signal() const { return m_signal; }
    bool selected() const { return m_selected; }
    void set_selected(bool selected) { m_selected = selected; }
    bool cursor_mark() const { return m_cursor_mark; }
    void set_cursor_mark(bool mark) { m_cursor_mark = mark; }
    // Bit 0 of the signal's flag word (defined by the current compile).
    bool signal_flag() const { return m_signal_flag; }
    void set_signal_flag(bool flag) { m_signal_flag = flag; }
    const QString &text() const { return m_text; }
    void set_text(const QString &text) { m_text = text; }

private:
    bool m_selected = false;
    bool m_cursor_mark = false;
    bool m_signal_flag = false;
    SignalRecord *m_signal;
    QString m_text;
};

class VyrSignalDisplayList : public QObject
{
    Q_OBJECT
public:
    explicit VyrSignalDisplayList(VyrDataWindow *owner);
    ~VyrSignalDisplayList() override;

    // Makes the window's entry for the signal (null: a placeholder).
    virtual SignalDisplayEntry *create_entry(SignalRecord *signal) = 0;

    // Appends an entry for the signal and puts the cursor on it.
    SignalDisplayEntry *append_signal(SignalRecord *signal);
    void set_cursor(SignalDisplayEntry *entry);
    // Removes and deletes the entry; the cursor leaves it. The signal's use
    // is released unless its interface is going away with it.
    void remove_entry(SignalDisplayEntry *entry, bool release_use = true);
    // Removes every selected entry that has a signal; with none selected,
    // the cursor entry when it has one.
    void delete_selected();

    const std::vector<SignalDisplayEntry *> &entries() const { return m_entries; }
    SignalDisplayEntry *cursor() const { return m_cursor; }
    VyrDataWindow *owner() const { return m_owner; }

signals:
    void signal_list_changed();
    void cursor_changed();

private:
    // Takes the entry out of the list and the cursor, and deletes it.
    void erase(SignalDisplayEntry *entry, bool release_use);

    SignalDisplayEntry *m_cursor = nullptr;
    std::vector<SignalDisplayEntry *> m_entries;
    VyrDataWindow *m_owner;
};
