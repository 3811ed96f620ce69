#pragma once
// The signal view: one line per signal with its name and current value, a
// cursor line, selected lines, a display base per integer signal, and edited
// values of output signals held per line until a commit writes them all to
// their interfaces. The tune window shows it and owns the edit field and the
// buttons that drive its slots.
#include "core/signal_record.h"
#include "windows/base/vyr_signal_display_list.h"

#include <QAbstractScrollArea>
#include <QPixmap>
#include <QPointer>
#include <QRect>
#include <QValidator>

#include <atomic>
#include <mutex>

class QMenu;
class VyrDataWindow;

// The edit field's input check: a hexadecimal ("1fh"), binary ("101B") or
// decimal ("-42") integer text. There is no intermediate state: the empty
// text and a lone minus sign are acceptable, anything else is invalid.
class VyrSignalValueValidator : public QValidator
{
    Q_OBJECT
public:
    VyrSignalValueValidator(QObject *parent, const char *name);
    State validate(QString &text, int &position) const override;
};

// One line of the view: the signal's value as the interface delivers it and
// the value the user edits for it.
class VyrSignalViewItem : public SignalDisplayEntry
{
public:
    explicit VyrSignalViewItem(SignalRecord *signal);
    ~VyrSignalViewItem() override { detach(); }

    // Runs on the interface's thread while the GUI thread paints: the
    // records change under the item's lock, the mark is an atomic.
    void value_changed(const SignalValue &value) override;

    SignalValue current_value() const;
    SignalValue previous_value() const;
    void set_current_value(const SignalValue &value);
    // Takes the repaint mark: true when the item changed since the last take.
    bool take_changed() { return m_changed.exchange(false); }
    void mark_changed() { m_changed = true; }

    // Type and value differ; NaN always differs; other types never do.
    static bool differs(const SignalValue &a, const SignalValue &b);

    QRect rect;
    int base = 10;
    bool editing = false;
    SignalValue edit_value;

private:
    mutable std::mutex m_mutex;
    SignalValue m_current;
    SignalValue m_previous;
    std::atomic<bool> m_changed{true};
};

class VyrSignalViewDisplayList : public VyrSignalDisplayList
{
    Q_OBJECT
public:
    using VyrSignalDisplayList::VyrSignalDisplayList;
    SignalDisplayEntry *create_entry(SignalRecord *signal) override { return new VyrSignalViewItem(signal); }
};

class VyrSignalView : public QAbstractScrollArea
{
    Q_OBJECT
public:
    // The context menu's commands.
    enum MenuCommand {
        InsertSignals = 1000,
        DeleteSignals = 1001,
        Properties = 1002,
        ShowDecimal = 1010,
        ShowBinary = 1011,
        ShowHexadecimal = 1012,
    };

    VyrSignalView(QWidget *parent, const char *name);
    ~VyrSignalView() override;

    VyrSignalViewDisplayList *display_list() const { return m_display_list; }
    VyrSignalViewItem *cursor_item() const;
    VyrSignalViewItem *item(int index) const;
    int item_count() const { return int(m_display_list->entries().size()); }
    // The data window that shows the view: its state enables menu entries.
    void set_owner(VyrDataWindow *owner) { m_owner = owner; }
    VyrDataWindow *owner() const { return m_owner; }
    bool pending() const { return m_pending; }
    int row_height() const { return m_row_height; }

    // Repaints the items that changed, or all of them.
    void refresh(bool all);
    void layout(bool resize);
    // The item whose rows hold the contents point, or null.
    VyrSignalViewItem *item_at(int x, int y) const;
    void set_pending(bool pending);

    // The text drawn as the item's value: a value description, the integer
    // in its base, "%lg" of a double, or "???".
    static QString value_text(const VyrSignalViewItem &item);
    // The context menu for the current state; the caller owns it.
    QMenu *make_popup_menu();

public slots:
    void on_popup_menu_command(int id);
    void update_inputs();
    void update_outputs();
    void register_signal_notifiers();
    void value_changed(const QString &text);
    void signal_list_changed();
    void cursor_changed();
    void value_inc();
    void value_dec();

signals:
    void edit_value(const QString &text);
    void edit_allowed(bool allowed);
    void values_changed();
    void open_properties_dialog();
    void open_signal_dialog();

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override {}
    void mouseDoubleClickEvent(QMouseEvent *event) override {}
    void mouseMoveEvent(QMouseEvent *event) override {}

private:
    // Emits the edit field's text and whether the cursor item may be edited.
    void update_edit_field();
    void step_value(int step);
    // The item's rectangle in viewport coordinates.
    QRect viewport_rect(const QRect &contents_rect) const;
    void repaint_item(const VyrSignalViewItem *item);
    void paint_item(QPainter &painter, const VyrSignalViewItem &item);
    void make_cursor_visible();

    VyrSignalViewDisplayList *m_display_list;
    QPointer<QMenu> m_popup_menu;
    int m_row_height = 0;
    bool m_laid_out = false;
    bool m_pending = false;
    QPixmap m_warning_icon;
    VyrDataWindow *m_owner = nullptr;
};
