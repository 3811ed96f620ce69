#include "windows/panel/panel_item_kinds.h"

#include "core/memory_region.h"
#include "core/signal_record.h"
#include "core/vyr_signal_if.h"
#include "core/widgets/widget_util.h"
#include "settings/debug_trace.h"
#include "settings/text_util.h"
#include "widgets/gauges/qledmeter.h"
#include "widgets/gauges/qtbar.h"
#include "widgets/gauges/qtled.h"
#include "widgets/gauges/qttacho.h"
#include "widgets/hexedit/qhexedit.h"
#include "widgets/lcd/qtlcdnumber.h"
#include "windows/base/vyr_data_window.h"
#include "windows/panel/panel_signal_binding.h"
#include "windows/panel/vyr_script_activation.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QGroupBox>
#include <QLabel>
#include <QMdiSubWindow>
#include <QRadioButton>
#include <QScrollBar>

#include <algorithm>
#include <cstring>

namespace {

// The numbers of the kinds' new items: 1, 2, 3, ... per kind.
struct ItemCounter
{
    uint32_t take() { return m_next++; }
    uint32_t m_next = 1;
};
ItemCounter g_push_buttons, g_panel_buttons, g_radio_buttons, g_check_boxes, g_line_edits, g_text_browsers,
    g_combo_boxes, g_text_labels, g_group_boxes, g_lines;

QString caption(const char *type_name, uint32_t number)
{
    return QCoreApplication::translate("VyrPanelWindow", type_name) + QLatin1Char(' ') + QString::number(number);
}

double value_of(const SignalValue &value)
{
    return value.type == SignalValue::Int ? double(value.int_value) : value.double_value;
}

PanelSignalBinding *first_binding(const VyrPanelItem *item)
{
    return item->bindings().empty() ? nullptr : item->bindings().front().get();
}

bool has_output(const SignalRecord *signal)
{
    return signal->direction() == SignalRecord::Output || signal->direction() == SignalRecord::InputOutput;
}

bool has_input(const SignalRecord *signal)
{
    return signal->direction() == SignalRecord::Input || signal->direction() == SignalRecord::InputOutput;
}

// Hands a time-stamped value to the signal's interface: truncated for an
// integer signal, as it is for a floating-point one; other types take none.
void post_value(SignalRecord *signal, double value)
{
    SignalValue record;
    const TimeValue now = get_current_time();
    record.seconds = now.seconds;
    record.microseconds = now.microseconds;
    if (signal->value_type() == SignalValue::Int)
        record.set_int(clamp_to_int32(value));
    else if (signal->value_type() == SignalValue::Double)
        record.set_double(value);
    else
        return;
    if (VyrSignalIf *owner = signal->owner())
        owner->post_write_request(signal, record);
}

// The signal's range, or the binding's own; -10 to 10 when it is empty.
void binding_range(const PanelSignalBinding *binding, double &minimum, double &maximum)
{
    minimum = binding->override_range ? binding->range_minimum : binding->signal()->min();
    maximum = binding->override_range ? binding->range_maximum : binding->signal()->max();
    if (!(maximum > minimum)) {
        minimum = -10.0;
        maximum = 10.0;
    }
}

PanelSignalBinding *make_single_binding(VyrPanelItem *item, bool active, bool inactive)
{
    item->clear_bindings();
    auto binding = std::make_unique<PanelSignalBinding>(item);
    binding->has_active_value = active;
    binding->has_inactive_value = inactive;
    return item->add_binding(std::move(binding));
}

// Adds an event list and connects the widget signal that fires it.
template <typename Signal>
void add_event_list(VyrScriptActivationGroup &group, const char *name, const char *title,
                    const typename QtPrivate::FunctionPointer<Signal>::Object *sender, Signal signal)
{
    VyrScriptActivationList *list = group.add_list(std::make_unique<VyrScriptActivationList>(name, title));
    QObject::connect(sender, signal, list, &VyrScriptActivationList::activated);
}

void fire_list(const VyrPanelItem *item, size_t index)
{
    VyrScriptActivationGroup *group = item->activation_group();
    if (group && index < group->lists().size())
        group->lists()[index]->activated();
}

// A group goes when its last button leaves it; those still held at exit are freed then.
std::vector<std::unique_ptr<RadioButtonGroup>> &radio_groups()
{
    static std::vector<std::unique_ptr<RadioButtonGroup>> groups;
    return groups;
}

} // namespace

void time_subtract(TimeValue &a, const TimeValue &b)
{
    if (a.microseconds < b.microseconds) {
        a.seconds -= 1;
        a.microseconds += 1000000;
    }
    a.seconds -= b.seconds;
    a.microseconds -= b.microseconds;
}

double int_power(double x, int n)
{
    // The magnitude as unsigned, so that the smallest int negates cleanly.
    uint32_t exponent = n < 0 ? 0u - uint32_t(n) : uint32_t(n);
    double result = 1.0;
    double base = x;
    while (exponent) {
        if (exponent & 1u)
            result *= base;
        base *= base;
        exponent >>= 1;
    }
    return n < 0 ? 1.0 / result : result;
}

// ---- widget subclasses ----

QStringList VyrPanelComboBox::items() const
{
    QStringList texts;
    for (int i = 0; i < count(); ++i)
        texts << itemText(i);
    return texts;
}

void VyrPanelComboBox::set_items(const QStringList &items)
{
    clear();
    addItems(items);
}

void VyrPanelComboBox::setCurrentText(const QString &text)
{
    if (text.startsWith(QLatin1String("_@"))) {
        const QStringList parts = text.mid(2).split(QLatin1Char('|'), Qt::KeepEmptyParts);
        clear();
        if (!parts.isEmpty())
            addItems(parts);
        return;
    }
    select_combo_item_by_text(this, text);
}

void VyrPanelLineEdit::set_mode(Mode mode)
{
    m_mode = mode;
    m_max_length_applied = false;
}

void VyrPanelLineEdit::apply_max_length()
{
    if (m_max_length_applied)
        return;
    if (m_num_digits > 0)
        setMaxLength(m_num_digits);
    m_max_length_applied = true;
}

void VyrPanelLineEdit::display_int(int32_t value)
{
    apply_max_length();
    switch (m_mode) {
    case Hex: setText(QString::number(value, 16)); break;
    case Dec: setText(QString::number(value, 10)); break;
    case Oct: setText(QString::number(value, 8)); break;
    case Bin: setText(QString::number(value, 2)); break;
    }
}

void VyrPanelLineEdit::display_double(double value)
{
    if (m_mode == Dec) {
        apply_max_length();
        setText(QString::number(value, 'g', 6));
    } else {
        display_int(clamp_to_int32(value));
    }
}

double VyrPanelLineEdit::value() const
{
    bool ok = false;
    double result = 0.0;
    switch (m_mode) {
    case Hex: result = double(text().toLongLong(&ok, 16)); break;
    case Oct: result = double(text().toLongLong(&ok, 8)); break;
    case Bin: result = double(text().toLongLong(&ok, 2)); break;
    default: result = text().toDouble(&ok); break;
    }
    return ok ? result : 0.0;
}

void VyrPanelTextBrowser::set_text(const QString &text)
{
    m_text = text;
    setText(text);
}

RadioButtonGroup *RadioButtonGroup::find_or_create(const QString &interface_id, const QString &name)
{
    for (const auto &group : radio_groups()) {
        if (group->interface_id == interface_id && group->name == name)
            return group.get();
    }
    radio_groups().push_back(std::make_unique<RadioButtonGroup>());
    RadioButtonGroup *group = radio_groups().back().get();
    group->interface_id = interface_id;
    group->name = name;
    return group;
}

// ---- items that write their signal ----

void VyrPanelTwoWayItem::reset_display()
{
    if (first_binding(this))
        m_last_value_valid = false;
}

bool VyrPanelTwoWayItem::write_if_changed(PanelSignalBinding *binding, double value)
{
    if (m_last_value_valid && value == m_last_value)
        return false;
    m_last_value = value;
    m_last_value_valid = true;
    post_value(binding->signal(), value);
    return true;
}

VyrPanelItemPushButton::VyrPanelItemPushButton(QWidget *parent)
{
    const uint32_t number = g_push_buttons.take();
    auto *button = new QPushButton(parent);
    button->setObjectName(QStringLiteral("push_button_%1").arg(number));
    button->setText(caption("PushButton", number));
    button->resize(button->sizeHint());
    set_widget(button);
    add_property_value(PanelItemValue::String, 0, "text", 128);
    auto group = std::make_unique<VyrScriptActivationGroup>();
    add_event_list(*group, "clicked", "On Button Clicked", button, &QPushButton::clicked);
    add_event_list(*group, "pressed", "On Button Pressed", button, &QPushButton::pressed);
    add_event_list(*group, "released", "On Button Released", button, &QPushButton::released);
    set_activation_group(std::move(group));
    make_single_binding(this, true, true);
}

VyrPanelItem *VyrPanelItemPushButton::create(QWidget *parent, uint32_t)
{
    return new VyrPanelItemPushButton(parent);
}

void VyrPanelItemPushButton::update_display(const TimeValue &)
{
    PanelSignalBinding *binding = first_binding(this);
    if (!binding || !binding->signal() || !has_output(binding->signal()))
        return;
    const bool down = static_cast<QPushButton *>(widget())->isDown();
    write_if_changed(binding, down ? binding->active_value : binding->inactive_value);
}

VyrPanelItemPanelButton::VyrPanelItemPanelButton(QWidget *parent)
{
    const uint32_t number = g_panel_buttons.take();
    auto *button = new VyrPanelPushButton(parent);
    button->setObjectName(QStringLiteral("panel_button_%1").arg(number));
    button->setText(caption("PanelButton", number));
    button->resize(button->sizeHint());
    set_widget(button);
    connect(button, &QPushButton::clicked, this, &VyrPanelItemPanelButton::button_clicked);
}

VyrPanelItem *VyrPanelItemPanelButton::create(QWidget *parent, uint32_t)
{
    return new VyrPanelItemPanelButton(parent);
}

void VyrPanelItemPanelButton::button_clicked()
{
    const auto *button = static_cast<VyrPanelPushButton *>(widget());
    const QStringList identifiers = button->activation_list().split(QLatin1Char('|'), Qt::SkipEmptyParts);
    for (const QString &identifier : identifiers) {
        for (VyrDataWindow *window = first_window(); window; window = window->next_window()) {
            if (window->window_identifier() != identifier)
                continue;
            if (QMdiSubWindow *sub_window = window->sub_window())
                sub_window->show();
            window->show();
        }
    }
}

VyrPanelItemRadioButton::VyrPanelItemRadioButton(QWidget *parent)
{
    const uint32_t number = g_radio_buttons.take();
    auto *button = new QRadioButton(parent);
    // Exclusive only within the group of its signal, not among all buttons of the panel.
    button->setAutoExclusive(false);
    button->setText(caption("RadioButton", number));
    button->resize(button->sizeHint());
    set_widget(button);
    add_property_value(PanelItemValue::String, 0, "text", 128);
    add_property_value(PanelItemValue::Integer, 1, "checked", 128);
    auto group = std::make_unique<VyrScriptActivationGroup>();
    group->add_list(std::make_unique<VyrScriptActivationList>("stateChanged", "On State Changed"));
    set_activation_group(std::move(group));
    connect(button, &QRadioButton::clicked, this, &VyrPanelItemRadioButton::button_clicked);
    make_single_binding(this, true, false);
}

VyrPanelItemRadioButton::~VyrPanelItemRadioButton()
{
    leave_group();
}

VyrPanelItem *VyrPanelItemRadioButton::create(QWidget *parent, uint32_t)
{
    return new VyrPanelItemRadioButton(parent);
}

void VyrPanelItemRadioButton::leave_group()
{
    if (!m_group)
        return;
    auto &members = m_group->members;
    members.erase(std::remove(members.begin(), members.end(), this), members.end());
    if (members.empty()) {
        auto &groups = radio_groups();
        RadioButtonGroup *left = m_group;
        groups.erase(std::remove_if(groups.begin(), groups.end(),
                                    [left](const std::unique_ptr<RadioButtonGroup> &group) { return group.get() == left; }),
                     groups.end());
    }
    m_group = nullptr;
}

void VyrPanelItemRadioButton::reset_display()
{
    leave_group();
    PanelSignalBinding *binding = first_binding(this);
    if (!binding)
        return;
    m_last_value_valid = false;
    if (!binding->signal())
        return;
    m_group = RadioButtonGroup::find_or_create(binding->interface_id(), binding->signal_name());
    if (std::find(m_group->members.begin(), m_group->members.end(), this) == m_group->members.end())
        m_group->members.push_back(this);
    m_group->written = false;
}

void VyrPanelItemRadioButton::button_clicked()
{
    auto *button = static_cast<QRadioButton *>(widget());
    button->setChecked(true);
    load_property_values();
    fire_list(this, 0);
    if (!m_group)
        return;
    for (VyrPanelItemRadioButton *member : m_group->members) {
        if (member != this)
            static_cast<QRadioButton *>(member->widget())->setChecked(false);
    }
    m_last_value_valid = false;
    m_group->written = true;
}

void VyrPanelItemRadioButton::update_display(const TimeValue &)
{
    PanelSignalBinding *binding = first_binding(this);
    if (!binding || !binding->signal())
        return;
    SignalRecord *signal = binding->signal();
    auto *button = static_cast<QRadioButton *>(widget());
    if (has_output(signal) && button->isChecked()) {
        const bool show_received_first = signal->direction() == SignalRecord::InputOutput && !m_last_value_valid &&
                                         binding->values().has_value && m_group && !m_group->written;
        if (!show_received_first && write_if_changed(binding, binding->active_value)) {
            if (m_group)
                m_group->written = false;
            return;
        }
    }
    if (!has_input(signal))
        return;
    const PanelSignalBinding::Values values = binding->take_values();
    if (values.changed && values.has_value) {
        const double value = value_of(values.current);
        button->setChecked(value == binding->active_value);
        m_last_value = value;
        m_last_value_valid = true;
    }
}

VyrPanelItemCheckBox::VyrPanelItemCheckBox(QWidget *parent)
{
    const uint32_t number = g_check_boxes.take();
    auto *box = new QCheckBox(parent);
    box->setText(caption("CheckBox", number));
    box->resize(box->sizeHint());
    set_widget(box);
    add_property_value(PanelItemValue::String, 0, "text", 128);
    add_property_value(PanelItemValue::Integer, 1, "checked", 128);
    auto group = std::make_unique<VyrScriptActivationGroup>();
    group->add_list(std::make_unique<VyrScriptActivationList>("stateChanged", "On State Changed"));
    set_activation_group(std::move(group));
    connect(box, &QCheckBox::toggled, this, &VyrPanelItemCheckBox::state_changed);
    make_single_binding(this, true, true);
}

VyrPanelItem *VyrPanelItemCheckBox::create(QWidget *parent, uint32_t)
{
    return new VyrPanelItemCheckBox(parent);
}

void VyrPanelItemCheckBox::state_changed()
{
    load_property_values();
    fire_list(this, 0);
}

void VyrPanelItemCheckBox::update_display(const TimeValue &)
{
    PanelSignalBinding *binding = first_binding(this);
    if (!binding || !binding->signal())
        return;
    SignalRecord *signal = binding->signal();
    auto *box = static_cast<QCheckBox *>(widget());
    if (has_output(signal)) {
        const bool show_received_first =
            signal->direction() == SignalRecord::InputOutput && !m_last_value_valid && binding->values().has_value;
        const double value = box->isChecked() ? binding->active_value : binding->inactive_value;
        if (!show_received_first && write_if_changed(binding, value))
            return;
    }
    if (!has_input(signal))
        return;
    const PanelSignalBinding::Values values = binding->take_values();
    if (values.changed && values.has_value) {
        const double value = value_of(values.current);
        box->setChecked(value != binding->inactive_value);
        m_last_value = value;
        m_last_value_valid = true;
    }
}

VyrPanelItemLineEdit::VyrPanelItemLineEdit(QWidget *parent)
{
    const uint32_t number = g_line_edits.take();
    auto *edit = new VyrPanelLineEdit(parent);
    edit->setText(caption("LineEdit", number));
    edit->resize(edit->sizeHint());
    set_widget(edit);
    add_property_value(PanelItemValue::String, 0, "text", 128);
    add_property_value(PanelItemValue::String, 1, "text", 128);
    auto group = std::make_unique<VyrScriptActivationGroup>();
    group->add_list(std::make_unique<VyrScriptActivationList>("textChanged", "On Text Changed"));
    group->add_list(std::make_unique<VyrScriptActivationList>("returnPressed", "Return(Enter) Pressed"));
    set_activation_group(std::move(group));
    connect(edit, &QLineEdit::textChanged, this, &VyrPanelItemLineEdit::text_changed);
    connect(edit, &QLineEdit::returnPressed, this, &VyrPanelItemLineEdit::return_pressed);
    make_single_binding(this, false, false);
}

VyrPanelItem *VyrPanelItemLineEdit::create(QWidget *parent, uint32_t)
{
    return new VyrPanelItemLineEdit(parent);
}

void VyrPanelItemLineEdit::text_changed()
{
    load_property_values();
    fire_list(this, 0);
}

void VyrPanelItemLineEdit::return_pressed()
{
    load_property_values();
    fire_list(this, 1);
}

void VyrPanelItemLineEdit::update_display(const TimeValue &)
{
    PanelSignalBinding *binding = first_binding(this);
    if (!binding || !binding->signal())
        return;
    SignalRecord *signal = binding->signal();
    auto *edit = static_cast<VyrPanelLineEdit *>(widget());
    if (has_output(signal)) {
        const bool show_received_first =
            signal->direction() == SignalRecord::InputOutput && !m_last_value_valid && binding->values().has_value;
        if (!show_received_first && write_if_changed(binding, edit->value()))
            return;
    }
    if (!has_input(signal))
        return;
    const PanelSignalBinding::Values values = binding->take_values();
    if (values.changed && values.has_value) {
        if (values.current.type == SignalValue::Int)
            edit->display_int(values.current.int_value);
        else
            edit->display_double(values.current.double_value);
        m_last_value = value_of(values.current);
        m_last_value_valid = true;
    }
}

// ---- text and static items ----

VyrPanelItemTextBrowser::VyrPanelItemTextBrowser(QWidget *parent)
{
    const uint32_t number = g_text_browsers.take();
    auto *browser = new VyrPanelTextBrowser(parent);
    browser->set_text(caption("TextBrowser", number));
    browser->resize(browser->sizeHint());
    set_widget(browser);
    add_property_value(PanelItemValue::String, 0, "text", 65536);
    add_property_value(PanelItemValue::String, 1, "text", 65536);
    connect(browser, &QTextEdit::textChanged, this, &VyrPanelItemTextBrowser::text_changed);
}

VyrPanelItem *VyrPanelItemTextBrowser::create(QWidget *parent, uint32_t)
{
    return new VyrPanelItemTextBrowser(parent);
}

void VyrPanelItemTextBrowser::text_changed()
{
    auto *browser = static_cast<VyrPanelTextBrowser *>(widget());
    if (!browser->text().endsWith(QLatin1String("<a name=\"END\"></a>")))
        return;
    // The document lays itself out lazily: moving the cursor to the end lays
    // it out that far, so the scroll range is whole before scrolling.
    browser->moveCursor(QTextCursor::End);
    browser->ensureCursorVisible();
    browser->verticalScrollBar()->setValue(browser->verticalScrollBar()->maximum());
}

VyrPanelItemComboBox::VyrPanelItemComboBox(QWidget *parent)
{
    const uint32_t number = g_combo_boxes.take();
    auto *box = new VyrPanelComboBox(parent);
    box->setObjectName(QStringLiteral("combo_box_%1").arg(number));
    box->resize(box->sizeHint());
    set_widget(box);
    add_property_value(PanelItemValue::String, 0, "currentText", 4096);
    add_property_value(PanelItemValue::String, 1, "currentText", 4096);
    auto group = std::make_unique<VyrScriptActivationGroup>();
    group->add_list(std::make_unique<VyrScriptActivationList>("stateChanged", "On State Changed"));
    set_activation_group(std::move(group));
    connect(box, QOverload<int>::of(&QComboBox::activated), this, &VyrPanelItemComboBox::text_changed);
}

VyrPanelItem *VyrPanelItemComboBox::create(QWidget *parent, uint32_t)
{
    return new VyrPanelItemComboBox(parent);
}

void VyrPanelItemComboBox::text_changed()
{
    load_property_values();
    fire_list(this, 0);
}

VyrPanelItemTextLabel::VyrPanelItemTextLabel(QWidget *parent)
{
    const uint32_t number = g_text_labels.take();
    auto *label = new QLabel(caption("TextLabel", number), parent);
    label->resize(label->sizeHint());
    set_widget(label);
}

VyrPanelItem *VyrPanelItemTextLabel::create(QWidget *parent, uint32_t)
{
    return new VyrPanelItemTextLabel(parent);
}

VyrPanelItemGroupBox::VyrPanelItemGroupBox(QWidget *parent)
{
    const uint32_t number = g_group_boxes.take();
    auto *box = new QGroupBox(caption("GroupBox", number), parent);
    box->resize(box->sizeHint());
    // Behind the items placed on it.
    box->lower();
    set_widget(box);
}

VyrPanelItem *VyrPanelItemGroupBox::create(QWidget *parent, uint32_t)
{
    return new VyrPanelItemGroupBox(parent);
}

VyrPanelItemBitmap::VyrPanelItemBitmap(QWidget *parent)
{
    auto *bitmap = new QtBitmap(parent);
    bitmap->resize(bitmap->sizeHint());
    set_widget(bitmap);
}

VyrPanelItem *VyrPanelItemBitmap::create(QWidget *parent, uint32_t)
{
    return new VyrPanelItemBitmap(parent);
}

VyrPanelItemLine::VyrPanelItemLine(QWidget *parent, uint32_t vertical)
{
    const uint32_t number = g_lines.take();
    auto *line = new QFrame(parent);
    line->setObjectName(QStringLiteral("%1_%2").arg(vertical ? "vline" : "hline").arg(number));
    line->setFrameShadow(QFrame::Sunken);
    line->setFrameShape(vertical ? QFrame::VLine : QFrame::HLine);
    line->resize(line->sizeHint());
    set_widget(line);
}

VyrPanelItem *VyrPanelItemLine::create(QWidget *parent, uint32_t variant)
{
    return new VyrPanelItemLine(parent, variant);
}

// ---- gauges ----

void VyrPanelGaugeItem::add_bindings(int count)
{
    clear_bindings();
    for (int i = 0; i < count; ++i)
        add_binding(std::make_unique<PanelSignalBinding>(this));
}

void VyrPanelGaugeItem::show_value(size_t binding, double value)
{
    if (binding == 0)
        static_cast<QtScale *>(widget())->setValue(value);
}

void VyrPanelGaugeItem::set_range(size_t binding, double minimum, double maximum)
{
    if (binding == 0)
        static_cast<QtScale *>(widget())->setRange(minimum, maximum);
}

void VyrPanelGaugeItem::update_display(const TimeValue &)
{
    for (size_t k = 0; k < bindings().size(); ++k) {
        PanelSignalBinding *binding = bindings()[k].get();
        if (!binding->signal())
            continue;
        const PanelSignalBinding::Values values = binding->take_values();
        if (values.changed && values.has_value)
            show_value(k, value_of(values.current));
    }
}

void VyrPanelGaugeItem::refresh_display()
{
    for (size_t k = 0; k < bindings().size(); ++k) {
        const PanelSignalBinding *binding = bindings()[k].get();
        if (!binding->signal())
            continue;
        double minimum, maximum;
        binding_range(binding, minimum, maximum);
        set_range(k, minimum, maximum);
    }
}

void VyrPanelGaugeItem::reset_display()
{
    for (size_t k = 0; k < bindings().size(); ++k) {
        const PanelSignalBinding *binding = bindings()[k].get();
        show_value(k, binding->default_value_valid ? binding->default_value : 0.0);
    }
}

VyrPanelItemTacho::VyrPanelItemTacho(QWidget *parent)
{
    auto *tacho = new QtTacho(parent);
    tacho->setReadOnly(true);
    tacho->setArc(315, 270);
    tacho->resize(tacho->sizeHint());
    set_widget(tacho);
    add_bindings(1);
}

VyrPanelItem *VyrPanelItemTacho::create(QWidget *parent, uint32_t)
{
    return new VyrPanelItemTacho(parent);
}

VyrPanelItemCompass::VyrPanelItemCompass(QWidget *parent)
{
    auto *compass = new QtCompass(parent);
    compass->setReadOnly(true);
    compass->resize(compass->sizeHint());
    set_widget(compass);
    add_bindings(1);
}

VyrPanelItem *VyrPanelItemCompass::create(QWidget *parent, uint32_t)
{
    return new VyrPanelItemCompass(parent);
}

VyrPanelItemBar::VyrPanelItemBar(QWidget *parent, uint32_t vertical)
{
    auto *bar = new QtBar(parent, QStringLiteral("qtbar"), {}, vertical ? QtBar::Vertical : QtBar::Horizontal);
    bar->setObjectName(QStringLiteral("qtbar"));
    bar->setReadOnly(true);
    bar->resize(bar->sizeHint());
    set_widget(bar);
    add_bindings(1);
}

VyrPanelItem *VyrPanelItemBar::create(QWidget *parent, uint32_t variant)
{
    return new VyrPanelItemBar(parent, variant);
}

VyrPanelItemHorizont::VyrPanelItemHorizont(QWidget *parent)
{
    auto *horizont = new QtHorizont(parent);
    horizont->setReadOnly(true);
    horizont->resize(horizont->sizeHint());
    horizont->setArc(315, 270);
    set_widget(horizont);
    add_bindings(2);
}

VyrPanelItem *VyrPanelItemHorizont::create(QWidget *parent, uint32_t)
{
    return new VyrPanelItemHorizont(parent);
}

void VyrPanelItemHorizont::show_value(size_t binding, double value)
{
    if (binding == 1)
        static_cast<QtHorizont *>(widget())->setGradientValue(value);
    else
        VyrPanelGaugeItem::show_value(binding, value);
}

void VyrPanelItemHorizont::set_range(size_t binding, double minimum, double maximum)
{
    if (binding == 1)
        static_cast<QtHorizont *>(widget())->setGradientRange(minimum, maximum);
    else
        VyrPanelGaugeItem::set_range(binding, minimum, maximum);
}

VyrPanelItemXyIndicator::VyrPanelItemXyIndicator(QWidget *parent)
{
    auto *indicator = new VyrPanelXyIndicator(parent);
    indicator->setReadOnly(true);
    indicator->resize(indicator->sizeHint());
    set_widget(indicator);
    add_bindings(2);
}

VyrPanelItem *VyrPanelItemXyIndicator::create(QWidget *parent, uint32_t)
{
    return new VyrPanelItemXyIndicator(parent);
}

void VyrPanelItemXyIndicator::show_value(size_t binding, double value)
{
    if (binding == 1)
        static_cast<QtXyIndicator *>(widget())->setYValue(value);
    else
        VyrPanelGaugeItem::show_value(binding, value);
}

void VyrPanelItemXyIndicator::set_range(size_t binding, double minimum, double maximum)
{
    if (binding == 1)
        static_cast<QtXyIndicator *>(widget())->setYRange(minimum, maximum);
    else
        VyrPanelGaugeItem::set_range(binding, minimum, maximum);
}

VyrPanelItemLed::VyrPanelItemLed(QWidget *parent)
{
    auto *led = new QtLed(parent);
    led->resize(led->sizeHint());
    set_widget(led);
    add_bindings(1);
}

VyrPanelItem *VyrPanelItemLed::create(QWidget *parent, uint32_t)
{
    return new VyrPanelItemLed(parent);
}

void VyrPanelItemLed::show_value(size_t binding, double value)
{
    if (binding == 0)
        static_cast<QtLed *>(widget())->setValue(value);
}

VyrPanelItemLedMeter::VyrPanelItemLedMeter(QWidget *parent)
{
    auto *meter = new QLedMeter(parent);
    meter->setLedCount(50);
    meter->addColorRange(50, Qt::green);
    meter->addColorRange(30, Qt::yellow);
    meter->addColorRange(20, Qt::red);
    meter->setMaxValue(100);
    meter->setValue(100);
    meter->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    meter->resize(meter->sizeHint());
    set_widget(meter);
    add_bindings(1);
}

VyrPanelItem *VyrPanelItemLedMeter::create(QWidget *parent, uint32_t)
{
    return new VyrPanelItemLedMeter(parent);
}

void VyrPanelItemLedMeter::show_value(size_t binding, double value)
{
    const PanelSignalBinding *bound = bindings()[binding].get();
    double minimum = -10.0, maximum = 10.0;
    if (bound->signal())
        binding_range(bound, minimum, maximum);
    static_cast<QLedMeter *>(widget())->setValue(clamp_to_int32((value - minimum) / (maximum - minimum) * 100.0));
}

VyrPanelItemLcdNumber::VyrPanelItemLcdNumber(QWidget *parent)
{
    auto *lcd = new QtLCDNumber(parent);
    lcd->setSegmentStyle(QtLCDNumber::Flat);
    lcd->setNumDigits(6);
    lcd->resize(lcd->sizeHint());
    set_widget(lcd);
    add_binding(std::make_unique<PanelSignalBinding>(this));
}

VyrPanelItem *VyrPanelItemLcdNumber::create(QWidget *parent, uint32_t)
{
    return new VyrPanelItemLcdNumber(parent);
}

void VyrPanelItemLcdNumber::update_display(const TimeValue &now)
{
    PanelSignalBinding *binding = first_binding(this);
    if (!binding)
        return;
    auto *lcd = static_cast<QtLCDNumber *>(widget());
    PanelSignalBinding::Values values = binding->values();
    if (!values.changed && values.has_value && lcd->timeoutEnabled()) {
        TimeValue elapsed = now;
        // A value stamped after now (another clock's rounding) has not timed out.
        const bool later = values.time.seconds > now.seconds ||
                           (values.time.seconds == now.seconds && values.time.microseconds > now.microseconds);
        if (!later) {
            time_subtract(elapsed, values.time);
            const int64_t elapsed_ms = elapsed.microseconds / 1000 + int64_t(elapsed.seconds) * 1000;
            if (elapsed_ms > lcd->timeout())
                binding->reset();
        }
    }
    values = binding->take_values();
    if (!values.changed)
        return;
    if (!values.has_value) {
        if (binding->default_value_valid)
            lcd->display(binding->default_value);
        else
            lcd->display(QStringLiteral("---"));
        return;
    }
    int digits = std::max(2, lcd->numDigits());
    int base = 10;
    switch (lcd->mode()) {
    case QtLCDNumber::Hex: base = 16; break;
    case QtLCDNumber::Oct: base = 8; break;
    case QtLCDNumber::Bin: base = 2; break;
    default: --digits; break; // one place for the sign
    }
    const double limit = int_power(base, digits) - 1.0;
    if (values.current.type == SignalValue::Int)
        lcd->display(clamp_to_int32(std::clamp(double(values.current.int_value), -limit, limit)));
    else
        lcd->display(std::clamp(values.current.double_value, -limit, limit));
}

void VyrPanelItemLcdNumber::reset_display()
{
    const PanelSignalBinding *binding = first_binding(this);
    auto *lcd = static_cast<QtLCDNumber *>(widget());
    lcd->display(binding && binding->default_value_valid ? binding->default_value : 0.0);
}

// ---- hex editor ----

VyrPanelItemHexEdit::VyrPanelItemHexEdit(QWidget *parent)
    : m_page(std::make_unique<MemoryPage>(0, page_size)), m_pending(page_size)
{
    auto *edit = new QHexEdit(parent);
    edit->set_page(m_page.get());
    edit->set_line_count(32);
    edit->resize(edit->sizeHint());
    set_widget(edit);
    add_property_value(PanelItemValue::Data, 3, "data", 128);
}

VyrPanelItemHexEdit::~VyrPanelItemHexEdit()
{
    // A script that still runs must not reach the buffer as it goes.
    unregister_item();
    // The view refers to the page: it goes first.
    delete widget();
}

VyrPanelItem *VyrPanelItemHexEdit::create(QWidget *parent, uint32_t)
{
    return new VyrPanelItemHexEdit(parent);
}

void VyrPanelItemHexEdit::set_property_value_data(int32_t key, const void *data, uint32_t size)
{
    const auto *bytes = static_cast<const uint8_t *>(data);
    // Names only the bytes given (up to four).
    QByteArray shown;
    for (uint32_t i = 0; i < std::min<uint32_t>(size, 4); ++i)
        shown += QByteArray::number(bytes[i], 16).rightJustified(2, '0') + (i + 1 < std::min<uint32_t>(size, 4) ? " " : "");
    debug_trace("VyrPanelItemHexEdit::set_property_value_data: data=(%s)", shown.constData());
    if (key != 3)
        return;
    // A script chooses the size: never more than the page holds.
    const uint32_t count = std::min(size, page_size);
    std::lock_guard<std::mutex> lock(m_pending_mutex);
    if (count > 0)
        std::memcpy(m_pending.data(), bytes, count);
    m_pending_size = count;
    m_dirty = true;
}

void VyrPanelItemHexEdit::sync_signals()
{
    VyrPanelItem::sync_signals();
    {
        std::lock_guard<std::mutex> lock(m_pending_mutex);
        if (!m_dirty)
            return;
        if (m_pending_size > 0)
            m_page->write(0, m_pending.data(), m_pending_size);
        m_pending_size = 0;
        m_dirty = false;
    }
    static_cast<QHexEdit *>(widget())->viewport()->update();
}
