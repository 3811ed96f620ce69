#pragma once
// The kinds of panel items that drive a Qt widget or a gauge, the small widget
// subclasses some of them use, the radio-button groups and two numeric
// helpers. Every kind is made through its row of the item type registry.
#include "core/time_base.h"
#include "widgets/gauges/qtbar.h"
#include "windows/panel/vyr_panel_item.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QStringList>
#include <QTextBrowser>

#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

class MemoryPage;
class PanelSignalBinding;

// a becomes a - b, borrowing a second when a's microseconds are the smaller.
void time_subtract(TimeValue &a, const TimeValue &b);
// x to the integer power n by repeated squaring; 1 / x^|n| for negative n.
double int_power(double x, int n);

// A push button with a "|"-separated list of data-window identifiers.
class VyrPanelPushButton : public QPushButton
{
    Q_OBJECT
    Q_PROPERTY(QString activationList READ activation_list WRITE set_activation_list)
public:
    explicit VyrPanelPushButton(QWidget *parent = nullptr) : QPushButton(parent) {}
    const QString &activation_list() const { return m_activation_list; }
    void set_activation_list(const QString &list) { m_activation_list = list; }

private:
    QString m_activation_list;
};

// A combo box whose entries a script replaces by setting its text to "_@"
// followed by the entries joined with "|".
class VyrPanelComboBox : public QComboBox
{
    Q_OBJECT
    Q_PROPERTY(QStringList items READ items WRITE set_items)
    // Redeclared: QComboBox::setCurrentText is not virtual, and the property
    // system would call it instead of the override below.
    Q_PROPERTY(QString currentText READ currentText WRITE setCurrentText)
public:
    explicit VyrPanelComboBox(QWidget *parent = nullptr) : QComboBox(parent) {}
    QStringList items() const;
    void set_items(const QStringList &items);
    // "_@A|B" makes A and B the entries; any other text selects the first
    // entry of that text (nothing when none has it).
    void setCurrentText(const QString &text);
};

// A line edit that shows and reads numbers in base 16, 10, 8 or 2.
class VyrPanelLineEdit : public QLineEdit
{
    Q_OBJECT
    Q_PROPERTY(Mode mode READ mode WRITE set_mode)
    Q_PROPERTY(int numDigits READ num_digits WRITE set_num_digits)
public:
    enum Mode { Hex = 0, Dec = 1, Oct = 2, Bin = 3 };
    Q_ENUM(Mode)

    explicit VyrPanelLineEdit(QWidget *parent = nullptr) : QLineEdit(parent) {}
    Mode mode() const { return m_mode; }
    void set_mode(Mode mode);
    int num_digits() const { return m_num_digits; }
    void set_num_digits(int digits) { m_num_digits = digits; }

    void display_int(int32_t value);
    void display_double(double value);
    // The text read in the mode's base (a double in Dec); 0 when it does not parse.
    double value() const;

private:
    void apply_max_length();

    Mode m_mode = Dec;
    int m_num_digits = 0;
    bool m_max_length_applied = false;
};

// A text browser that keeps its text as set, so that the "text" property
// reads back what a script wrote.
class VyrPanelTextBrowser : public QTextBrowser
{
    Q_OBJECT
    Q_PROPERTY(QString text READ text WRITE set_text)
public:
    explicit VyrPanelTextBrowser(QWidget *parent = nullptr) : QTextBrowser(parent) {}
    const QString &text() const { return m_text; }
    void set_text(const QString &text);

private:
    QString m_text;
};

// An x/y indicator with the label placement flag that panel files store for
// it; the indicator draws no labels around a circle, so the flag is only kept.
class VyrPanelXyIndicator : public QtXyIndicator
{
    Q_OBJECT
    Q_PROPERTY(bool paintLabelsInsideScale READ paint_labels_inside_scale WRITE set_paint_labels_inside_scale)
public:
    explicit VyrPanelXyIndicator(QWidget *parent = nullptr) : QtXyIndicator(parent) {}
    bool paint_labels_inside_scale() const { return m_paint_labels_inside_scale; }
    void set_paint_labels_inside_scale(bool inside) { m_paint_labels_inside_scale = inside; }

private:
    bool m_paint_labels_inside_scale = false;
};

class VyrPanelItemRadioButton;

// Radio buttons bound to one signal of one interface: clicking one unchecks
// the others. Keyed by interface id and signal name, since two interfaces
// that load one description file have signals of equal names.
struct RadioButtonGroup
{
    QString interface_id;
    QString name;
    std::vector<VyrPanelItemRadioButton *> members; // not owned
    bool written = false;

    // The group of that key, made when missing.
    static RadioButtonGroup *find_or_create(const QString &interface_id, const QString &name);
};

// Items that keep the value last written to or shown from their signal.
class VyrPanelTwoWayItem : public VyrPanelItem
{
    Q_OBJECT
public:
    void reset_display() override;

protected:
    // Writes the value to the binding's signal unless it equals the last
    // value; whether it wrote.
    bool write_if_changed(PanelSignalBinding *binding, double value);

    double m_last_value = 0.0;
    bool m_last_value_valid = false;
};

class VyrPanelItemPushButton : public VyrPanelTwoWayItem
{
    Q_OBJECT
public:
    explicit VyrPanelItemPushButton(QWidget *parent);
    static VyrPanelItem *create(QWidget *parent, uint32_t variant);
    void update_display(const TimeValue &now) override;
};

class VyrPanelItemPanelButton : public VyrPanelItem
{
    Q_OBJECT
public:
    explicit VyrPanelItemPanelButton(QWidget *parent);
    static VyrPanelItem *create(QWidget *parent, uint32_t variant);
public slots:
    // Shows every open data window named in the activation list.
    void button_clicked();
};

class VyrPanelItemRadioButton : public VyrPanelTwoWayItem
{
    Q_OBJECT
public:
    explicit VyrPanelItemRadioButton(QWidget *parent);
    ~VyrPanelItemRadioButton() override;
    static VyrPanelItem *create(QWidget *parent, uint32_t variant);
    void reset_display() override;
    void update_display(const TimeValue &now) override;
    RadioButtonGroup *group() const { return m_group; }
public slots:
    void button_clicked();

private:
    void leave_group();
    RadioButtonGroup *m_group = nullptr;
};

class VyrPanelItemCheckBox : public VyrPanelTwoWayItem
{
    Q_OBJECT
public:
    explicit VyrPanelItemCheckBox(QWidget *parent);
    static VyrPanelItem *create(QWidget *parent, uint32_t variant);
    void update_display(const TimeValue &now) override;
public slots:
    void state_changed();
};

class VyrPanelItemLineEdit : public VyrPanelTwoWayItem
{
    Q_OBJECT
public:
    explicit VyrPanelItemLineEdit(QWidget *parent);
    static VyrPanelItem *create(QWidget *parent, uint32_t variant);
    void update_display(const TimeValue &now) override;
public slots:
    void text_changed();
    void return_pressed();
};

class VyrPanelItemTextBrowser : public VyrPanelItem
{
    Q_OBJECT
public:
    explicit VyrPanelItemTextBrowser(QWidget *parent);
    static VyrPanelItem *create(QWidget *parent, uint32_t variant);
public slots:
    // Scrolls to the bottom when the text ends with the "END" anchor.
    void text_changed();
};

class VyrPanelItemComboBox : public VyrPanelItem
{
    Q_OBJECT
public:
    explicit VyrPanelItemComboBox(QWidget *parent);
    static VyrPanelItem *create(QWidget *parent, uint32_t variant);
public slots:
    void text_changed();
};

class VyrPanelItemTextLabel : public VyrPanelItem
{
    Q_OBJECT
public:
    explicit VyrPanelItemTextLabel(QWidget *parent);
    static VyrPanelItem *create(QWidget *parent, uint32_t variant);
};

class VyrPanelItemGroupBox : public VyrPanelItem
{
    Q_OBJECT
public:
    explicit VyrPanelItemGroupBox(QWidget *parent);
    static VyrPanelItem *create(QWidget *parent, uint32_t variant);
};

class VyrPanelItemBitmap : public VyrPanelItem
{
    Q_OBJECT
public:
    explicit VyrPanelItemBitmap(QWidget *parent);
    static VyrPanelItem *create(QWidget *parent, uint32_t variant);
};

class VyrPanelItemLine : public VyrPanelItem
{
    Q_OBJECT
public:
    VyrPanelItemLine(QWidget *parent, uint32_t vertical);
    static VyrPanelItem *create(QWidget *parent, uint32_t variant);
};

// The gauges: each binding shows its value through a setter of the widget and
// fits the widget's range to its signal.
class VyrPanelGaugeItem : public VyrPanelItem
{
    Q_OBJECT
public:
    void update_display(const TimeValue &now) override;
    void refresh_display() override;
    void reset_display() override;

protected:
    // Binding k's value and range setters; the base gives binding 0 to the
    // widget as a QtScale.
    virtual void show_value(size_t binding, double value);
    virtual void set_range(size_t binding, double minimum, double maximum);
    void add_bindings(int count);
};

class VyrPanelItemTacho : public VyrPanelGaugeItem
{
    Q_OBJECT
public:
    explicit VyrPanelItemTacho(QWidget *parent);
    static VyrPanelItem *create(QWidget *parent, uint32_t variant);
};

class VyrPanelItemCompass : public VyrPanelGaugeItem
{
    Q_OBJECT
public:
    explicit VyrPanelItemCompass(QWidget *parent);
    static VyrPanelItem *create(QWidget *parent, uint32_t variant);
};

class VyrPanelItemBar : public VyrPanelGaugeItem
{
    Q_OBJECT
public:
    VyrPanelItemBar(QWidget *parent, uint32_t vertical);
    static VyrPanelItem *create(QWidget *parent, uint32_t variant);
};

class VyrPanelItemHorizont : public VyrPanelGaugeItem
{
    Q_OBJECT
public:
    explicit VyrPanelItemHorizont(QWidget *parent);
    static VyrPanelItem *create(QWidget *parent, uint32_t variant);

protected:
    void show_value(size_t binding, double value) override;
    void set_range(size_t binding, double minimum, double maximum) override;
};

class VyrPanelItemXyIndicator : public VyrPanelGaugeItem
{
    Q_OBJECT
public:
    explicit VyrPanelItemXyIndicator(QWidget *parent);
    static VyrPanelItem *create(QWidget *parent, uint32_t variant);

protected:
    void show_value(size_t binding, double value) override;
    void set_range(size_t binding, double minimum, double maximum) override;
};

class VyrPanelItemLed : public VyrPanelGaugeItem
{
    Q_OBJECT
public:
    explicit VyrPanelItemLed(QWidget *parent);
    static VyrPanelItem *create(QWidget *parent, uint32_t variant);
    void refresh_display() override {}

protected:
    void show_value(size_t binding, double value) override;
};

class VyrPanelItemLedMeter : public VyrPanelGaugeItem
{
    Q_OBJECT
public:
    explicit VyrPanelItemLedMeter(QWidget *parent);
    static VyrPanelItem *create(QWidget *parent, uint32_t variant);
    void refresh_display() override {}

protected:
    void show_value(size_t binding, double value) override;
};

class VyrPanelItemLcdNumber : public VyrPanelItem
{
    Q_OBJECT
public:
    explicit VyrPanelItemLcdNumber(QWidget *parent);
    static VyrPanelItem *create(QWidget *parent, uint32_t variant);
    void update_display(const TimeValue &now) override;
    void reset_display() override;
};

// Scripts hand it bytes on interface threads while the view reads its page on
// the GUI thread: the bytes wait in a buffer of their own until sync_signals
// copies them into the page.
class VyrPanelItemHexEdit : public VyrPanelItem
{
    Q_OBJECT
public:
    static constexpr uint32_t page_size = 2048;
    explicit VyrPanelItemHexEdit(QWidget *parent);
    // Leaves the item directory before the page and the buffer go.
    ~VyrPanelItemHexEdit() override;
    static VyrPanelItem *create(QWidget *parent, uint32_t variant);
    // Copies the bytes last given into the page and repaints the view.
    void sync_signals() override;
    // Key 3 keeps the bytes for the page, at most a page of them.
    void set_property_value_data(int32_t key, const void *data, uint32_t size) override;
    MemoryPage *page() const { return m_page.get(); }

private:
    std::unique_ptr<MemoryPage> m_page;
    std::mutex m_pending_mutex;
    std::vector<uint8_t> m_pending; // guarded by m_pending_mutex, like the two below
    uint32_t m_pending_size = 0;
    bool m_dirty = true;
};
