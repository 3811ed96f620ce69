#include "windows/triggers/vyr_window_trigger_cond_can.h"

#include "core/candb_cluster.h"
#include "core/candb_message.h"
#include "core/vyr_signal_if.h"
#include "core/vyr_trigger_cond_can.h"
#include "interfaces/can/vyr_can_if.h"
#include "settings/text_util.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QRadioButton>

namespace {

// Selects the text's item, or puts the text into the edit field.
void show_id_text(QComboBox *combo, const QString &text)
{
    const int index = combo->findText(text);
    if (index >= 0)
        combo->setCurrentIndex(index);
    else
        combo->setEditText(text);
}

void refill(QComboBox *combo, const QStringList &items)
{
    const QString text = combo->currentText();
    combo->clear();
    combo->addItems(items);
    show_id_text(combo, text);
}

} // namespace

VyrWindowTriggerCondCan::VyrWindowTriggerCondCan(QWidget *parent, const char *name)
    : WindowTriggerCondCanBase(parent, name)
{
    for (QComboBox *combo : {combo_can_id, combo_can_id_start, combo_can_id_end}) {
        combo->setEditable(true);
        combo->setInsertPolicy(QComboBox::NoInsert);
    }
    QStringList relations;
    for (int code = 0; code < relation_count; ++code)
        relations << trigger_relation_text(code);
    for (QComboBox *combo : relation_combos()) {
        combo->clear();
        combo->addItems(relations);
    }
    combo_can_channel->addItem(QString());
    for (VyrSignalIf *interface = get_first_signal_if(); interface; interface = interface->next()) {
        const std::string type = interface->type_name();
        if (type == "CAN" || type == "CAN-RX")
            combo_can_channel->addItem(QString::fromStdString(interface->name()),
                                       QString::fromStdString(interface->make_id()));
    }
    for (QCheckBox *check : byte_checks())
        connect(check, &QCheckBox::toggled, this, &VyrWindowTriggerCondCan::show_state);
    connect(rb_single_id, &QRadioButton::clicked, this, &VyrWindowTriggerCondCan::enable_single_id_entry);
    connect(rb_id_range, &QRadioButton::clicked, this, &VyrWindowTriggerCondCan::enable_id_range_entry);
    connect(combo_can_channel, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            &VyrWindowTriggerCondCan::channel_changed);
    channel_changed();
    enable_single_id_entry();
    show_state();
}

void VyrWindowTriggerCondCan::channel_changed()
{
    QStringList names;
    const QByteArray id = combo_can_channel->currentData().toString().toLatin1();
    if (auto *can = dynamic_cast<VyrCanIf *>(find_signal_if_by_id(id.constData())))
        if (CANdbCluster *databases = can->databases())
            for (CANdbMessage *message = databases->first_message(); message; message = databases->next_message())
                names << QString::fromStdString(message->name);
    refill(combo_can_id, QStringList{tr("Error Frame")} + names);
    refill(combo_can_id_start, names);
    refill(combo_can_id_end, names);
}

void VyrWindowTriggerCondCan::enable_single_id_entry()
{
    rb_single_id->setChecked(true);
    rb_id_range->setChecked(false);
    combo_can_id->setEnabled(true);
    combo_can_id_start->setEnabled(false);
    combo_can_id_end->setEnabled(false);
}

void VyrWindowTriggerCondCan::enable_id_range_entry()
{
    rb_single_id->setChecked(false);
    rb_id_range->setChecked(true);
    combo_can_id->setEnabled(false);
    combo_can_id_start->setEnabled(true);
    combo_can_id_end->setEnabled(true);
}

void VyrWindowTriggerCondCan::show_state()
{
    const auto checks = byte_checks();
    const auto relations = relation_combos();
    const auto edits = byte_edits();
    for (size_t byte = 0; byte < checks.size(); ++byte) {
        relations[byte]->setEnabled(checks[byte]->isChecked());
        edits[byte]->setEnabled(checks[byte]->isChecked());
    }
}

void VyrWindowTriggerCondCan::set_cond_data(VyrTriggerCondData *data)
{
    if (!data || data->kind() != VyrTriggerCondDataCan::kind_number)
        return;
    const auto *can = static_cast<VyrTriggerCondDataCan *>(data);
    const int channel = combo_can_channel->findData(can->can_if);
    combo_can_channel->setCurrentIndex(channel < 0 ? 0 : channel);
    channel_changed();
    if (can->message_id_start == can->message_id_end) {
        show_id_text(combo_can_id, can->message_id_start);
        enable_single_id_entry();
    } else {
        show_id_text(combo_can_id_start, can->message_id_start);
        show_id_text(combo_can_id_end, can->message_id_end);
        enable_id_range_entry();
    }
    const auto checks = byte_checks();
    const auto relations = relation_combos();
    const auto edits = byte_edits();
    for (size_t byte = 0; byte < checks.size(); ++byte) {
        const VyrTriggerCondDataCan::ByteTest &test = can->byte_tests[byte];
        checks[byte]->setChecked(test.enabled);
        relations[byte]->setCurrentIndex(test.relation >= 0 && test.relation < relation_count ? test.relation : 0);
        edits[byte]->setText(QString::asprintf("%02xH", test.data));
    }
    show_state();
}

void VyrWindowTriggerCondCan::get_cond_data(VyrTriggerCondData *data)
{
    if (!data || data->kind() != VyrTriggerCondDataCan::kind_number)
        return;
    auto *can = static_cast<VyrTriggerCondDataCan *>(data);
    can->can_if = combo_can_channel->currentData().toString();
    if (rb_id_range->isChecked()) {
        can->message_id_start = combo_can_id_start->currentText();
        can->message_id_end = combo_can_id_end->currentText();
    } else {
        can->message_id_start = combo_can_id->currentText();
        can->message_id_end = can->message_id_start;
    }
    const auto checks = byte_checks();
    const auto relations = relation_combos();
    const auto edits = byte_edits();
    for (size_t byte = 0; byte < checks.size(); ++byte) {
        VyrTriggerCondDataCan::ByteTest &test = can->byte_tests[byte];
        test.enabled = checks[byte]->isChecked();
        test.relation = relations[byte]->currentIndex();
        test.data = uint8_t(parse_int_text(edits[byte]->text().toLatin1().constData()));
    }
}
