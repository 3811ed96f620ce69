#include "windows/panel/vyr_dialog_control_properties.h"

#include "core/path_util.h"
#include "core/script_trigger.h"
#include "core/vyr_question.h"
#include "core/vyr_signal_if.h"
#include "script/vyr_script_runtime.h"
#include "settings/debug_trace.h"
#include "widgets/misc/qtcolorcombobox.h"
#include "windows/base/vyr_data_window.h"
#include "windows/panel/panel_signal_binding.h"
#include "windows/panel/panel_widget_properties.h"
#include "windows/panel/vyr_panel.h"
#include "windows/panel/vyr_panel_item.h"
#include "windows/panel/vyr_script_activation.h"
#include "windows/signals/vyr_signal_select.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QCursor>
#include <QDir>
#include <QDoubleValidator>
#include <QFile>
#include <QFileInfo>
#include <QHeaderView>
#include <QIntValidator>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QPushButton>
#include <QTabWidget>
#include <QTreeWidget>

namespace {

// A row of the two action trees: an event row of "Triggered Actions:" keeps
// its activation list; an action row (a child in either tree) names the
// interface and the action it stands for.
class ActionListItem : public QTreeWidgetItem
{
public:
    ActionListItem(QTreeWidget *tree, const QString &text, VyrScriptActivationList *list = nullptr)
        : QTreeWidgetItem(tree, QStringList(text)), list(list)
    {
    }
    ActionListItem(QTreeWidgetItem *parent, const QString &interface_id, const QString &interface_name,
                   const QString &action_name)
        : QTreeWidgetItem(parent, QStringList(interface_name + QStringLiteral("::") + action_name)),
          interface_id(interface_id), interface_name(interface_name), action_name(action_name)
    {
    }

    VyrScriptActivationList *list = nullptr;
    QString interface_id;
    QString interface_name;
    QString action_name;
};

// The triggers that panel events may start.
const uint32_t script_action_types[] = {ScriptTrigger::action, ScriptTrigger::internal_base,
                                        VyrScriptRuntime::script_action_type_ext};

bool has_property(const QWidget *widget, const char *name)
{
    return widget->metaObject()->indexOfProperty(name) >= 0;
}

bool has_all(const QWidget *widget, std::initializer_list<const char *> names)
{
    for (const char *name : names)
        if (!has_property(widget, name))
            return false;
    return true;
}

// Sets the property only when the widget has it.
void set_if_present(QWidget *widget, const char *name, const QVariant &value)
{
    if (has_property(widget, name))
        widget->setProperty(name, value);
}

void hide_all(std::initializer_list<QWidget *> widgets)
{
    for (QWidget *widget : widgets)
        widget->hide();
}

// The name of the interface with that id, else the id; then "::" and the
// signal. Empty when the first part is empty.
QString signal_text(const QString &interface_id, const QString &signal_name)
{
    QString first = interface_id;
    if (VyrSignalIf *signal_if = find_signal_if_by_id(interface_id.toLatin1().constData()))
        first = QString::fromStdString(signal_if->name());
    if (first.isEmpty())
        return QString();
    return first + QStringLiteral("::") + signal_name;
}

QString number_text(double value)
{
    return QString::number(value);
}

bool readable(const QString &name)
{
    QFile file(name);
    return file.open(QIODevice::ReadOnly);
}

} // namespace

VyrDialogControlProperties::VyrDialogControlProperties(QWidget *parent, const char *name)
    : DialogControlPropertiesBase(parent, name, true)
{
    setWindowIcon(QIcon(m_color_picture));
    setWindowIconText(tr("Control Properties"));

    le_timeout->setValidator(new QIntValidator(1, 100000, le_timeout));
    le_arc_start->setValidator(new QIntValidator(0, 360, le_arc_start));
    le_arc_size->setValidator(new QIntValidator(30, 360, le_arc_size));
    for (QLineEdit *field : {le_picture_h_scale, le_picture_v_scale, le_led_value_above, le_led_value_below, le_minv,
                             le_maxv, le_default_value, le_minv_2, le_maxv_2, le_default_value_2})
        field->setValidator(new QDoubleValidator(field));
    lv_triggered_actions->setSelectionMode(QAbstractItemView::SingleSelection);
    lv_script_actions->setSelectionMode(QAbstractItemView::SingleSelection);
    lv_string_list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    lv_string_list->setSortingEnabled(false);
    lv_string_list->setContextMenuPolicy(Qt::CustomContextMenu);
    lv_string_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    lv_window_list->setSelectionMode(QAbstractItemView::MultiSelection);

    connect(tab_widget, &QTabWidget::currentChanged, this,
            [this](int index) { tab_page_selected(tab_widget->widget(index)); });
    connect(pb_add_action, &QPushButton::clicked, this, qOverload<>(&VyrDialogControlProperties::add_action));
    connect(pb_remove_action, &QPushButton::clicked, this, &VyrDialogControlProperties::remove_action);
    connect(lv_triggered_actions, &QTreeWidget::itemSelectionChanged, this, &VyrDialogControlProperties::show_state);
    connect(lv_script_actions, &QTreeWidget::itemSelectionChanged, this, &VyrDialogControlProperties::show_state);
    connect(lv_script_actions, &QTreeWidget::itemDoubleClicked, this,
            [this](QTreeWidgetItem *row) { trigger_item_double_clicked(row); });
    for (QCheckBox *box : {cb_range, cb_default_value, cb_range_2, cb_default_value_2, cb_led_value_above,
                           cb_led_value_below, cb_timeout})
        connect(box, &QCheckBox::clicked, this, &VyrDialogControlProperties::show_state);
    connect(pb_select_signal, &QPushButton::clicked, this,
            &VyrDialogControlProperties::show_signal_selection_dialog_1);
    connect(pb_select_signal_2, &QPushButton::clicked, this,
            &VyrDialogControlProperties::show_signal_selection_dialog_2);
    connect(pb_clear_signal, &QPushButton::clicked, this, &VyrDialogControlProperties::clear_signal_1);
    connect(pb_clear_signal_2, &QPushButton::clicked, this, &VyrDialogControlProperties::clear_signal_2);
    connect(pb_reset_fg_color, &QPushButton::clicked, this, &VyrDialogControlProperties::reset_fg_color);
    connect(pb_reset_font, &QPushButton::clicked, this, &VyrDialogControlProperties::reset_font);
    connect(pb_chose_fg_color, &QPushButton::clicked, this, &VyrDialogControlProperties::show_fg_color_dialog);
    connect(pb_chose_font, &QPushButton::clicked, this, &VyrDialogControlProperties::show_font_dialog);
    connect(pb_string_add, &QPushButton::clicked, this, qOverload<>(&VyrDialogControlProperties::string_add));
    connect(le_string_new, &QLineEdit::returnPressed, this, qOverload<>(&VyrDialogControlProperties::string_add));
    connect(pb_string_delete, &QPushButton::clicked, this, &VyrDialogControlProperties::string_delete);
    connect(pb_string_move_up, &QPushButton::clicked, this, &VyrDialogControlProperties::string_move_up);
    connect(pb_string_move_down, &QPushButton::clicked, this, &VyrDialogControlProperties::string_move_down);
    connect(lv_string_list, &QTreeWidget::itemSelectionChanged, this, &VyrDialogControlProperties::string_show_state);
    connect(lv_string_list, &QTreeWidget::currentItemChanged, this, &VyrDialogControlProperties::string_show_state);
    connect(lv_string_list, &QTreeWidget::itemChanged, this, &VyrDialogControlProperties::string_set_modified);
    connect(lv_string_list, &QTreeWidget::itemDoubleClicked, this,
            [this](QTreeWidgetItem *row) { string_start_rename(row); });
    connect(lv_string_list, &QTreeWidget::customContextMenuRequested, this, [this](const QPoint &position) {
        string_show_context_menu(lv_string_list->itemAt(position),
                                 lv_string_list->viewport()->mapToGlobal(position), 0);
    });
    connect(le_string_new, &QLineEdit::textChanged, this, &VyrDialogControlProperties::string_show_state);
    connect(pb_bitmap_open, &QPushButton::clicked, this, &VyrDialogControlProperties::open_bitmap_file_dialog);
    connect(pb_bitmap_popup, &QPushButton::clicked, this, &VyrDialogControlProperties::open_bitmap_context_menu);
    connect(pb_picture_open, &QPushButton::clicked, this, &VyrDialogControlProperties::open_picture_file_dialog);
    connect(pb_picture_popup, &QPushButton::clicked, this, &VyrDialogControlProperties::open_picture_context_menu);
}

VyrDialogControlProperties::~VyrDialogControlProperties()
{
    detach_signal_select_dialog(this);
}

void VyrDialogControlProperties::remove_page(QWidget *page)
{
    const int index = tab_widget->indexOf(page);
    if (index >= 0)
        tab_widget->removeTab(index);
}

// --- Loading ---------------------------------------------------------------------------------------

void VyrDialogControlProperties::load_item(VyrPanelItem *item)
{
    QWidget *w = item->widget();
    if (!w)
        return;
    remove_page(tab_state_bitmaps);
    remove_page(tab_color_list);

    if (has_property(w, "text"))
        le_caption->setText(w->property("text").toString());
    else if (has_property(w, "title"))
        le_caption->setText(w->property("title").toString());
    else
        hide_all({le_caption, tl_caption1, tl_caption2});

    // Display options.
    if (has_property(w, "numDigits")) {
        const int index = combo_digits->findText(QString::number(w->property("numDigits").toInt()));
        if (index >= 0)
            combo_digits->setCurrentIndex(index);
    } else {
        hide_all({combo_digits, tl_digits});
    }
    if (has_property(w, "numDecimals")) {
        const int decimals = w->property("numDecimals").toInt();
        const int index = decimals < 0 ? 0 : decimals + 1;
        if (index < combo_decimals->count())
            combo_decimals->setCurrentIndex(index);
    } else {
        hide_all({combo_decimals, tl_decimals});
    }
    if (has_property(w, "mode")) {
        const int mode = w->property("mode").toInt();
        if (mode >= 0 && mode < combo_number_format->count())
            combo_number_format->setCurrentIndex(mode);
        debug_trace("pidx_number_format=%d", combo_number_format->currentIndex());
        debug_trace("mode=%d", mode);
    } else {
        hide_all({combo_number_format, tl_number_format});
    }
    if (has_all(w, {"timeout", "timeoutEnabled"})) {
        le_timeout->setText(QString::number(w->property("timeout").toInt()));
        cb_timeout->setChecked(w->property("timeoutEnabled").toBool());
    } else {
        hide_all({cb_timeout, le_timeout, tl_timeout});
    }
    if (has_property(w, "showSignalName"))
        cb_show_signal_name->setChecked(w->property("showSignalName").toBool());
    else
        cb_show_signal_name->hide();
    const bool has_arc = has_all(w, {"arcStart", "arcSize"});
    if (has_arc) {
        le_arc_start->setText(w->property("arcStart").toString());
        le_arc_size->setText(w->property("arcSize").toString());
    } else {
        hide_all({tl_arc_start, le_arc_start, tl_arc_start_desc, tl_arc_size, le_arc_size, tl_arc_size_desc});
    }
    const std::pair<const char *, QCheckBox *> paint_boxes[] = {
        {"paintLabels", cb_paint_labels}, {"paintScale", cb_paint_scale},
        {"paintLabelsInsideScale", cb_paint_labels_inside_scale}};
    for (const auto &[property, box] : paint_boxes) {
        if (has_property(w, property))
            box->setChecked(w->property(property).toBool());
        else
            box->hide();
    }
    if (!has_property(w, "numDigits") && !has_property(w, "numDecimals") && !has_property(w, "mode") && !has_arc &&
        !has_property(w, "paintLabels") && !has_property(w, "paintScale"))
        remove_page(tab_display_options);

    if (has_all(w, {"pixmapFile", "pixmapHAlign", "pixmapVAlign", "pixmapSupported"}) &&
        w->property("pixmapSupported").toBool()) {
        combo_halign->setCurrentIndex(w->property("pixmapHAlign").toInt());
        combo_valign->setCurrentIndex(w->property("pixmapVAlign").toInt());
        le_bitmap_file->setText(w->property("pixmapFile").toString());
        show_bitmap_graphic();
    } else {
        remove_page(tab_bitmap_graphic);
    }
    if (has_all(w, {"pictureFile", "pictureHScale", "pictureVScale", "pictureSupported"}) &&
        w->property("pictureSupported").toBool()) {
        le_picture_h_scale->setText(number_text(w->property("pictureHScale").toDouble()));
        le_picture_v_scale->setText(number_text(w->property("pictureVScale").toDouble()));
        le_picture_file->setText(w->property("pictureFile").toString());
    } else {
        remove_page(tab_picture_graphic);
    }

    if (has_all(w, {"ledColor", "ledColor2", "inverse", "upperLimit", "lowerLimit", "upperLimitValid",
                    "lowerLimitValid"})) {
        for (QtColorComboBox *combo : {combo_led_color, combo_led_color2}) {
            combo->set_more_entry_enabled(false);
            combo->clear();
            combo->insert_color(Qt::red, tr("Red"));
            combo->insert_color(Qt::yellow, tr("Yellow"));
            combo->insert_color(Qt::green, tr("Green"));
            combo->insert_color(Qt::blue, tr("Blue"));
            combo->insert_color(Qt::white, tr("White"));
        }
        combo_led_color->set_current_color(w->property("ledColor").value<QColor>());
        combo_led_color2->set_current_color(w->property("ledColor2").value<QColor>());
        cb_led_inverse_mode->setChecked(w->property("inverse").toBool());
        le_led_value_above->setText(number_text(w->property("upperLimit").toDouble()));
        le_led_value_below->setText(number_text(w->property("lowerLimit").toDouble()));
        cb_led_value_above->setChecked(w->property("upperLimitValid").toBool());
        cb_led_value_below->setChecked(w->property("lowerLimitValid").toBool());
    } else {
        remove_page(tab_led_settings);
    }

    if (has_property(w, "activationList")) {
        const QStringList parts = w->property("activationList").toString().split('|', Qt::SkipEmptyParts);
        for (VyrDataWindow *window = first_window(); window; window = window->next_window()) {
            auto *row = new QTreeWidgetItem(lv_window_list, {window->window_identifier(), window->caption()});
            row->setSelected(parts.contains(window->window_identifier()));
        }
    } else {
        remove_page(tab_window_list);
    }

    le_name->setText(w->objectName());
    cb_enable->setChecked(w->isEnabled());
    if (has_property(w, "readOnly") && qobject_cast<QLineEdit *>(w))
        cb_readonly->setChecked(w->property("readOnly").toBool());
    else
        cb_readonly->hide();

    if (VyrScriptActivationGroup *group = item->activation_group()) {
        bool first = true;
        for (const auto &list : group->lists()) {
            auto *event_row = new ActionListItem(lv_triggered_actions, list->title(), list.get());
            if (first)
                event_row->setSelected(true);
            first = false;
            for (const auto &entry : list->entries()) {
                VyrSignalIf *signal_if = nullptr;
                if (!VyrScriptActivationEntry::find_action(entry->interface_id(), entry->action_name(), &signal_if) ||
                    !signal_if)
                    continue;
                new ActionListItem(event_row, entry->interface_id(), QString::fromStdString(signal_if->name()),
                                   entry->action_name());
            }
            event_row->setExpanded(event_row->childCount() > 0);
        }
        for (VyrSignalIf *signal_if = get_first_signal_if(); signal_if; signal_if = signal_if->next()) {
            const QString interface_name = QString::fromStdString(signal_if->name());
            auto *interface_row = new ActionListItem(lv_script_actions, interface_name);
            if (VyrScriptRuntime *runtime = VyrScriptRuntime::of(signal_if))
                for (uint32_t type : script_action_types)
                    for (ScriptTrigger *trigger : runtime->script_triggers(type)) {
                        auto *row = new ActionListItem(interface_row, QString::fromStdString(signal_if->make_id()),
                                                       interface_name, QString::fromStdString(trigger->name()));
                        row->setText(0, QString::fromStdString(trigger->name()));
                    }
            interface_row->setExpanded(true);
        }
    } else {
        remove_page(tab_script_activation);
    }

    const auto &bindings = item->bindings();
    if (bindings.empty()) {
        remove_page(tab_signal_settings);
        remove_page(tab_signal_control);
    } else {
        const PanelSignalBinding &first = *bindings[0];
        m_signal_if_id[0] = first.interface_id();
        m_signal_name[0] = first.signal_name();
        le_signal_name->setText(signal_text(first.interface_id(), first.signal_name()));
        cb_range->setChecked(first.override_range);
        cb_default_value->setChecked(first.default_value_valid);
        le_minv->setText(number_text(first.range_minimum));
        le_maxv->setText(number_text(first.range_maximum));
        le_default_value->setText(number_text(first.default_value));
        le_value_active->setText(number_text(first.active_value));
        le_value_inactive->setText(number_text(first.inactive_value));
        if (bindings.size() > 1) {
            const PanelSignalBinding &second = *bindings[1];
            m_signal_if_id[1] = second.interface_id();
            m_signal_name[1] = second.signal_name();
            le_signal_name_2->setText(signal_text(second.interface_id(), second.signal_name()));
            cb_range_2->setChecked(second.override_range);
            cb_default_value_2->setChecked(second.default_value_valid);
            le_minv_2->setText(number_text(second.range_minimum));
            le_maxv_2->setText(number_text(second.range_maximum));
            le_default_value_2->setText(number_text(second.default_value));
        } else {
            hide_all({line7, tl_signal_2, tl_signal_name_2, le_signal_name_2, pb_clear_signal_2, pb_select_signal_2,
                      cb_default_value_2, le_default_value_2, cb_range_2, le_minv_2, tl_signal_dots_2, le_maxv_2});
        }
        if (!first.has_active_value && !first.has_inactive_value)
            remove_page(tab_signal_control);
    }

    m_fg_color = w->palette().color(QPalette::WindowText);
    m_bg_color = w->palette().color(w->backgroundRole());
    m_font = w->font();
    m_color_set = w->testAttribute(Qt::WA_SetPalette);
    m_font_set = w->testAttribute(Qt::WA_SetFont);

    if (has_property(w, "items")) {
        for (const QString &text : w->property("items").toStringList())
            string_add(text);
    } else {
        remove_page(tab_string_list);
    }
    m_strings_modified = false;
    show_state();
    string_show_state();
}

// --- Applying --------------------------------------------------------------------------------------

void VyrDialogControlProperties::apply_to_item(VyrPanelItem *item) const
{
    QWidget *w = item->widget();
    if (!w)
        return;
    if (has_property(w, "text"))
        w->setProperty("text", le_caption->text());
    else
        set_if_present(w, "title", le_caption->text());

    if (has_all(w, {"pixmapFile", "pixmapHAlign", "pixmapVAlign", "pixmapSupported"}) &&
        w->property("pixmapSupported").toBool()) {
        w->setProperty("pixmapFile", le_bitmap_file->text());
        w->setProperty("pixmapHAlign", combo_halign->currentIndex());
        w->setProperty("pixmapVAlign", combo_valign->currentIndex());
    }
    if (has_all(w, {"pictureFile", "pictureHScale", "pictureVScale", "pictureSupported"}) &&
        w->property("pictureSupported").toBool()) {
        w->setProperty("pictureFile", le_picture_file->text());
        w->setProperty("pictureHScale", le_picture_h_scale->text().toDouble());
        w->setProperty("pictureVScale", le_picture_v_scale->text().toDouble());
    }
    if (has_all(w, {"ledColor", "ledColor2", "inverse", "upperLimit", "lowerLimit", "upperLimitValid",
                    "lowerLimitValid"})) {
        w->setProperty("ledColor", combo_led_color->current_color());
        w->setProperty("ledColor2", combo_led_color2->current_color());
        w->setProperty("inverse", cb_led_inverse_mode->isChecked());
        w->setProperty("upperLimitValid", cb_led_value_above->isChecked());
        w->setProperty("lowerLimitValid", cb_led_value_below->isChecked());
        w->setProperty("upperLimit", le_led_value_above->text().toDouble());
        w->setProperty("lowerLimit", le_led_value_below->text().toDouble());
    }
    set_if_present(w, "paintLabels", cb_paint_labels->isChecked());
    set_if_present(w, "paintScale", cb_paint_scale->isChecked());
    set_if_present(w, "paintLabelsInsideScale", cb_paint_labels_inside_scale->isChecked());
    set_if_present(w, "numDigits", combo_digits->currentText().toInt());
    set_if_present(w, "numDecimals",
                   combo_decimals->currentIndex() <= 0 ? -1 : combo_decimals->currentText().toInt());
    set_if_present(w, "mode", combo_number_format->currentIndex());
    if (has_property(w, "activationList")) {
        QStringList windows;
        for (int i = 0; i < lv_window_list->topLevelItemCount(); ++i)
            if (lv_window_list->topLevelItem(i)->isSelected())
                windows << lv_window_list->topLevelItem(i)->text(0);
        w->setProperty("activationList", windows.join('|'));
    }
    if (has_all(w, {"timeout", "timeoutEnabled"})) {
        w->setProperty("timeout", le_timeout->text().toInt());
        w->setProperty("timeoutEnabled", cb_timeout->isChecked());
    }
    set_if_present(w, "showSignalName", cb_show_signal_name->isChecked());
    if (has_all(w, {"arcStart", "arcSize"})) {
        const int size = le_arc_size->text().toInt();
        w->setProperty("arcStart", le_arc_start->text().toInt());
        w->setProperty("arcSize", size < 0 ? 30 : size);
    }
    w->setEnabled(cb_enable->isChecked());
    w->setObjectName(le_name->text());
    if (qobject_cast<QLineEdit *>(w))
        set_if_present(w, "readOnly", cb_readonly->isChecked());

    if (VyrScriptActivationGroup *group = item->activation_group()) {
        for (const auto &list : group->lists())
            list->clear_entries();
        for (int i = 0; i < lv_triggered_actions->topLevelItemCount(); ++i) {
            auto *event_row = static_cast<ActionListItem *>(lv_triggered_actions->topLevelItem(i));
            if (!event_row->list)
                continue;
            for (int c = 0; c < event_row->childCount(); ++c) {
                auto *action_row = static_cast<ActionListItem *>(event_row->child(c));
                event_row->list->add_entry(std::make_unique<VyrScriptActivationEntry>(
                    action_row->interface_id, action_row->action_name, item->id()));
            }
        }
    }

    const auto &bindings = item->bindings();
    struct SignalFields
    {
        QCheckBox *range, *default_valid;
        QLineEdit *minimum, *maximum, *default_value;
    };
    const SignalFields fields[2] = {{cb_range, cb_default_value, le_minv, le_maxv, le_default_value},
                                    {cb_range_2, cb_default_value_2, le_minv_2, le_maxv_2, le_default_value_2}};
    for (size_t i = 0; i < 2 && i < bindings.size(); ++i) {
        PanelSignalBinding &binding = *bindings[i];
        binding.set_names(m_signal_if_id[i], m_signal_name[i]);
        binding.override_range = fields[i].range->isChecked();
        const double a = fields[i].minimum->text().toDouble();
        const double b = fields[i].maximum->text().toDouble();
        binding.range_minimum = std::min(a, b);
        binding.range_maximum = std::max(a, b);
        binding.default_value_valid = fields[i].default_valid->isChecked();
        binding.default_value = fields[i].default_value->text().toDouble();
        if (i == 0) {
            binding.active_value = le_value_active->text().toDouble();
            binding.inactive_value = le_value_inactive->text().toDouble();
        }
        if (!binding.resolve())
            item->refresh_display();
    }

    if (!m_color_set)
        w->setPalette(QPalette());
    else if (m_fg_color != w->palette().color(QPalette::WindowText))
        panel_properties::write(w, "paletteForegroundColor", m_fg_color);
    if (!m_font_set)
        w->setFont(QFont());
    else if (m_font != w->font())
        w->setFont(m_font);

    if (has_property(w, "items")) {
        QStringList strings;
        for (int i = 0; i < lv_string_list->topLevelItemCount(); ++i)
            strings << lv_string_list->topLevelItem(i)->text(0);
        w->setProperty("items", strings);
    }
}

// --- State -----------------------------------------------------------------------------------------

void VyrDialogControlProperties::show_state()
{
    QTreeWidgetItem *possible = lv_script_actions->selectedItems().value(0);
    QTreeWidgetItem *triggered = lv_triggered_actions->selectedItems().value(0);
    pb_add_action->setEnabled(possible && possible->parent() && triggered && !triggered->parent());
    pb_remove_action->setEnabled(triggered && triggered->parent());

    QPixmap swatch(pl_fg_color->size());
    swatch.fill(m_color_set ? m_fg_color : m_bg_color);
    pl_fg_color->setPixmap(swatch);
    tl_font->setText(m_font_set ? m_font.family() + QStringLiteral(", ") + QString::number(m_font.pointSize())
                                : QString());
    pb_reset_fg_color->setEnabled(m_color_set);
    pb_reset_font->setEnabled(m_font_set);

    le_minv->setEnabled(cb_range->isChecked());
    le_maxv->setEnabled(cb_range->isChecked());
    le_default_value->setEnabled(cb_default_value->isChecked());
    le_minv_2->setEnabled(cb_range_2->isChecked());
    le_maxv_2->setEnabled(cb_range_2->isChecked());
    le_default_value_2->setEnabled(cb_default_value_2->isChecked());
    le_led_value_above->setEnabled(cb_led_value_above->isChecked());
    le_led_value_below->setEnabled(cb_led_value_below->isChecked());
    le_timeout->setEnabled(cb_timeout->isChecked());
}

void VyrDialogControlProperties::tab_page_selected(QWidget *page)
{
    QLineEdit *field = page == tab_string_list ? le_string_new : page == tab_basic_settings ? le_caption : nullptr;
    if (!field)
        return;
    field->setFocus();
    field->selectAll();
}

void VyrDialogControlProperties::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Delete) {
        string_delete();
        return;
    }
    DialogControlPropertiesBase::keyPressEvent(event);
}

// --- Script actions --------------------------------------------------------------------------------

void VyrDialogControlProperties::trigger_item_double_clicked(QTreeWidgetItem *row)
{
    add_action(row);
}

void VyrDialogControlProperties::add_action(QTreeWidgetItem *row)
{
    QTreeWidgetItem *event_row = lv_triggered_actions->selectedItems().value(0);
    if (!event_row || event_row->parent() || !row || !row->parent())
        return;
    auto *action = static_cast<ActionListItem *>(row);
    new ActionListItem(event_row, action->interface_id, action->interface_name, action->action_name);
    event_row->setExpanded(true);
}

void VyrDialogControlProperties::add_action()
{
    add_action(lv_script_actions->selectedItems().value(0));
}

void VyrDialogControlProperties::remove_action()
{
    delete lv_triggered_actions->selectedItems().value(0);
    show_state();
}

// --- Signals ---------------------------------------------------------------------------------------

void VyrDialogControlProperties::show_signal_selection_dialog_1()
{
    open_signal_picker(0);
}

void VyrDialogControlProperties::show_signal_selection_dialog_2()
{
    open_signal_picker(1);
}

void VyrDialogControlProperties::open_signal_picker(int target)
{
    m_picker_target = target;
    VyrSignalSelect *dialog = open_signal_select_dialog(this, true, nullptr, 1, 0);
    m_signal_dialog = dialog;
    // The pick reaches insert_signal, which closes the dialog.
    dialog->exec();
}

void VyrDialogControlProperties::insert_signal(const QString &interface_id, const QString &signal_name)
{
    if (m_signal_dialog) {
        m_signal_dialog->close();
        m_signal_dialog = nullptr;
    }
    m_signal_if_id[m_picker_target] = interface_id;
    m_signal_name[m_picker_target] = signal_name;
    (m_picker_target == 0 ? le_signal_name : le_signal_name_2)->setText(signal_text(interface_id, signal_name));
}

void VyrDialogControlProperties::clear_signal_1()
{
    le_signal_name->clear();
    m_signal_if_id[0].clear();
    m_signal_name[0].clear();
}

void VyrDialogControlProperties::clear_signal_2()
{
    le_signal_name_2->clear();
    m_signal_if_id[1].clear();
    m_signal_name[1].clear();
}

// --- Colour and font -------------------------------------------------------------------------------

void VyrDialogControlProperties::show_fg_color_dialog()
{
    // A cancelled dialog leaves the colour as it was.
    const QColor colour = VyrPanel::desktop().choose_color(this, "choose_fg_color", m_fg_color);
    if (colour.isValid()) {
        m_fg_color = colour;
        m_color_set = true;
    }
    show_state();
}

void VyrDialogControlProperties::show_font_dialog()
{
    QFont font = m_font;
    if (VyrPanel::desktop().choose_font(this, "choose_font", font)) {
        m_font = font;
        m_font_set = true;
    }
    show_state();
}

void VyrDialogControlProperties::reset_fg_color()
{
    m_color_set = false;
    show_state();
}

void VyrDialogControlProperties::reset_font()
{
    m_font_set = false;
    show_state();
}

// --- String list -----------------------------------------------------------------------------------

void VyrDialogControlProperties::string_add(const QString &text)
{
    const QSignalBlocker quiet(lv_string_list);
    auto *row = new QTreeWidgetItem(QStringList(text));
    row->setFlags(row->flags() | Qt::ItemIsEditable);
    lv_string_list->addTopLevelItem(row);
}

void VyrDialogControlProperties::string_add()
{
    string_add(le_string_new->text());
    le_string_new->selectAll();
    m_strings_modified = true;
    string_show_state();
}

void VyrDialogControlProperties::string_delete()
{
    qDeleteAll(lv_string_list->selectedItems());
    m_strings_modified = true;
    string_show_state();
}

void VyrDialogControlProperties::string_move_up()
{
    const QSignalBlocker quiet(lv_string_list);
    for (int i = 1; i < lv_string_list->topLevelItemCount(); ++i) {
        QTreeWidgetItem *row = lv_string_list->topLevelItem(i);
        if (!row->isSelected())
            continue;
        lv_string_list->takeTopLevelItem(i);
        lv_string_list->insertTopLevelItem(i - 1, row);
        row->setSelected(true);
    }
    m_strings_modified = true;
    string_show_state();
}

void VyrDialogControlProperties::string_move_down()
{
    const QSignalBlocker quiet(lv_string_list);
    for (int i = lv_string_list->topLevelItemCount() - 2; i >= 0; --i) {
        QTreeWidgetItem *row = lv_string_list->topLevelItem(i);
        if (!row->isSelected())
            continue;
        lv_string_list->takeTopLevelItem(i);
        lv_string_list->insertTopLevelItem(i + 1, row);
        row->setSelected(true);
    }
    m_strings_modified = true;
    string_show_state();
}

void VyrDialogControlProperties::string_start_rename(QTreeWidgetItem *row)
{
    if (!row)
        return;
    lv_string_list->clearSelection();
    lv_string_list->editItem(row, 0);
}

void VyrDialogControlProperties::string_set_modified()
{
    m_strings_modified = true;
    string_show_state();
}

void VyrDialogControlProperties::string_show_state()
{
    const QList<QTreeWidgetItem *> selected = lv_string_list->selectedItems();
    const int count = lv_string_list->topLevelItemCount();
    pb_string_add->setEnabled(!le_string_new->text().isEmpty());
    pb_string_delete->setEnabled(!selected.isEmpty());
    pb_string_move_up->setEnabled(!selected.isEmpty() && !lv_string_list->topLevelItem(0)->isSelected());
    pb_string_move_down->setEnabled(!selected.isEmpty() && !lv_string_list->topLevelItem(count - 1)->isSelected());
}

std::unique_ptr<QMenu> VyrDialogControlProperties::build_string_context_menu(QTreeWidgetItem *row)
{
    auto menu = std::make_unique<QMenu>(this);
    QAction *current = menu->addAction(tr("Delete Current Item"));
    current->setEnabled(row != nullptr);
    connect(current, &QAction::triggered, this, [this, row] {
        delete row;
        m_strings_modified = true;
        string_show_state();
    });
    QAction *selected = menu->addAction(tr("Delete Selected Items"));
    selected->setEnabled(!lv_string_list->selectedItems().isEmpty());
    connect(selected, &QAction::triggered, this, &VyrDialogControlProperties::string_delete);
    QAction *sort = menu->addAction(tr("Sort Items"));
    sort->setCheckable(true);
    sort->setChecked(m_sorted);
    connect(sort, &QAction::triggered, this, [this] {
        m_sorted = !m_sorted;
        lv_string_list->setSortingEnabled(m_sorted);
        if (m_sorted)
            lv_string_list->sortItems(0, Qt::DescendingOrder);
        lv_string_list->header()->setSortIndicatorShown(m_sorted);
    });
    return menu;
}

void VyrDialogControlProperties::string_show_context_menu(QTreeWidgetItem *row, const QPoint &position, int)
{
    build_string_context_menu(row)->exec(position);
}

// --- Bitmap and pointer graphics -------------------------------------------------------------------

bool VyrDialogControlProperties::choose_graphic_file(QLineEdit *field, const QString &caption, const char *name,
                                                     const QString &filter)
{
    const QString file = VyrPanel::desktop().choose_graphic_file(this, caption, name, field->text(), filter);
    if (file.isEmpty())
        return false;
    if (!readable(file)) {
        vyr_ask_question(this, tr("Error"), tr("Unable to open file '%1' for reading !\n").arg(file), {tr("OK")},
                         VyrQuestionIcon::critical);
        return false;
    }
    field->setText(file);
    return true;
}

void VyrDialogControlProperties::open_bitmap_file_dialog()
{
    if (choose_graphic_file(le_bitmap_file, tr("Select Bitmap File"), "bitmap_open",
                            tr("Bitmap Files (*.bmp *.gif *.png *.jpg *.jpeg *.xpm);;All Files (*)")))
        show_bitmap_graphic();
}

void VyrDialogControlProperties::open_picture_file_dialog()
{
    choose_graphic_file(le_picture_file, tr("Select Picture File"), "picture_open",
                        tr("Picture Files (*.svg);;All Files (*)"));
}

void VyrDialogControlProperties::show_bitmap_graphic()
{
    QPixmap pixmap;
    const QString file = le_bitmap_file->text();
    if (!file.isEmpty() && readable(file) && pixmap.load(file))
        tl_bitmap_preview->setPixmap(pixmap);
    else
        tl_bitmap_preview->setText(tr("No valid Bitmap Graphic !"));
}

void VyrDialogControlProperties::show_picture_graphic() {}

std::unique_ptr<QMenu> VyrDialogControlProperties::build_file_context_menu(bool bitmap)
{
    QLineEdit *field = bitmap ? le_bitmap_file : le_picture_file;
    const QString text = field->text();
    auto menu = std::make_unique<QMenu>(this);
    auto changed = [this, field, bitmap](const QString &path) {
        field->setText(path);
        if (bitmap)
            show_bitmap_graphic();
    };
    QAction *clear = menu->addAction(tr("Clear"));
    clear->setEnabled(!text.isEmpty());
    connect(clear, &QAction::triggered, this, [changed] { changed(QString()); });
    QAction *copy = menu->addAction(tr("Copy Selected Text to Clipboard"));
    copy->setEnabled(field->hasSelectedText());
    connect(copy, &QAction::triggered, this,
            [field] { QApplication::clipboard()->setText(field->selectedText()); });
    menu->addSeparator();
    const QString absolute = text.isEmpty() ? QString() : QFileInfo(text).absoluteFilePath();
    QFileInfo relative_info(text);
    const bool can_relate = !text.isEmpty() && make_path_relative(relative_info, QDir::currentPath()) == 1;
    const QString relative = relative_info.filePath();
    QAction *make_absolute = menu->addAction(tr("Make absolute path"));
    make_absolute->setEnabled(!text.isEmpty() && absolute != text);
    connect(make_absolute, &QAction::triggered, this, [changed, absolute] { changed(absolute); });
    QAction *make_relative = menu->addAction(tr("Make relative path"));
    make_relative->setEnabled(can_relate);
    connect(make_relative, &QAction::triggered, this, [changed, relative] { changed(relative); });
    return menu;
}

void VyrDialogControlProperties::open_bitmap_context_menu()
{
    build_file_context_menu(true)->exec(QCursor::pos());
}

void VyrDialogControlProperties::open_picture_context_menu()
{
    build_file_context_menu(false)->exec(QCursor::pos());
}
