// The trigger settings dialog, its panes, the condition settings dialog and
// the editors of the four kinds, driven offscreen by object names.
#include "core/key_codes.h"
#include "core/vyr_question.h"
#include "core/vyr_trigger.h"
#include "core/vyr_trigger_cond.h"
#include "core/vyr_trigger_cond_can.h"
#include "core/vyr_trigger_cond_key.h"
#include "core/vyr_trigger_cond_signal.h"
#include "core/vyr_trigger_cond_timer.h"
#include "forms/dialog_trigger_settings_base.h"
#include "forms/window_trigger_cond_can_base.h"
#include "forms/window_trigger_cond_list_base.h"
#include "forms/window_trigger_cond_signal_base.h"
#include "forms/window_trigger_cond_timer_base.h"
#include "forms/window_trigger_list_base.h"
#include "tests/core/signal_if_test_support.h"
#include "vyr_test_shell.h"
#include "windows/base/vyr_select_key.h"
#include "windows/triggers/vyr_dialog_trigger_cond_settings.h"
#include "windows/triggers/vyr_dialog_trigger_settings.h"
#include "windows/triggers/vyr_window_trigger_cond_can.h"
#include "windows/triggers/vyr_window_trigger_cond_key.h"
#include "windows/triggers/vyr_window_trigger_cond_list.h"
#include "windows/triggers/vyr_window_trigger_cond_signal.h"
#include "windows/triggers/vyr_window_trigger_cond_timer.h"
#include "windows/triggers/vyr_window_trigger_list.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <memory>

namespace {

QStringList child_names(QWidget *parent, const QStringList &wanted)
{
    // The wanted names in the order the children were created.
    QStringList order;
    for (QObject *child : parent->findChildren<QObject *>())
        if (wanted.contains(child->objectName()) && !order.contains(child->objectName()))
            order << child->objectName();
    return order;
}

QStringList items(QComboBox *combo)
{
    QStringList texts;
    for (int i = 0; i < combo->count(); ++i)
        texts << combo->itemText(i);
    return texts;
}

QStringList headers(QTableWidget *table)
{
    QStringList texts;
    for (int column = 0; column < table->columnCount(); ++column)
        texts << table->horizontalHeaderItem(column)->text();
    return texts;
}

void render(QWidget *widget, const char *name)
{
    const QString dir = QDir::temp().filePath("vyr_trigger_png");
    QDir().mkpath(dir);
    widget->show();
    QApplication::processEvents();
    widget->grab().save(dir + "/" + name + ".png");
}

// The program's lists with "Running" and two triggers of the user, and
// questions answered with their first button and recorded.
class TriggerDialogs : public ::testing::Test
{
protected:
    TriggerDialogs()
    {
        VyrTriggerList::set_instance(&triggers);
        VyrTriggerCondList::set_instance(&conditions);
        QObject::connect(&triggers, &VyrTriggerList::trigger_removed, &conditions,
                         &VyrTriggerCondList::trigger_removed);
        add_running_trigger(&triggers);
        new VyrTrigger(&triggers, "LogOn");
        new VyrTrigger(&triggers, "LogOff");
        install_trigger_cond_editors();
        set_vyr_question_function(
            [this](QWidget *, const QString &, const QString &text, const QStringList &, VyrQuestionIcon) {
                questions << text;
                return 0;
            });
    }
    ~TriggerDialogs() override
    {
        set_vyr_question_function({});
        set_trigger_cond_dialog_observer(nullptr);
        conditions.clear();
        VyrTriggerCondList::set_instance(nullptr);
        VyrTriggerList::set_instance(nullptr);
    }

    QStringList names()
    {
        QStringList list;
        for (VyrTrigger *trigger = triggers.first(); trigger; trigger = triggers.next())
            list << trigger->name();
        return list;
    }

    VyrTriggerList triggers;
    VyrTriggerCondList conditions;
    QStringList questions;
};

} // namespace

TEST(TriggerForms, ListPanesAndDialogBuildTheirWidgets)
{
    WindowTriggerListBase list;
    EXPECT_EQ(list.objectName(), "WindowTriggerListBase");
    EXPECT_EQ(list.windowTitle(), "Form1");
    EXPECT_EQ(headers(list.table_trigger_list), (QStringList{"Name", "State", "Remarks"}));
    EXPECT_EQ(list.table_trigger_list->rowCount(), 0);
    EXPECT_EQ(list.pb_new->text(), "&New Trigger");
    EXPECT_TRUE(list.pb_delete->autoDefault());
    QMetaObject::invokeMethod(&list, "languageChange");
    EXPECT_EQ(list.table_trigger_list->columnCount(), 3);

    WindowTriggerCondListBase cond_list(nullptr, "named");
    EXPECT_EQ(cond_list.objectName(), "named");
    EXPECT_EQ(headers(cond_list.table_cond_list),
              (QStringList{"Condition Type", "Condition Setup", "Action", "Trigger Name"}));
    EXPECT_EQ(cond_list.pb_delete->text(), "&Delete Condition");

    DialogTriggerSettingsBase dialog;
    EXPECT_EQ(dialog.windowTitle(), "Trigger Settings");
    ASSERT_EQ(dialog.tab->count(), 1);
    EXPECT_EQ(dialog.tab->tabText(0), "Dummy");
    EXPECT_TRUE(dialog.pb_ok->isDefault());
    EXPECT_EQ(dialog.pb_help->shortcut(), QKeySequence(Qt::Key_F1));
    EXPECT_EQ(dialog.size(), QSize(645, 442).expandedTo(dialog.minimumSizeHint()));
    dialog.show();
    QTest::keyClick(&dialog, Qt::Key_Return);
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
}

TEST(TriggerForms, EditorFormsInTheirCreationOrder)
{
    WindowTriggerCondCanBase can;
    EXPECT_EQ(child_names(&can, {"GroupBox2", "rb_single_id", "TextLabel1_3", "combo_can_id_start", "TextLabel1",
                                 "combo_can_channel", "TextLabel2", "combo_can_id_end", "combo_can_id", "rb_id_range",
                                 "GroupBox1", "cb_byte7", "cb_byte8", "cb_byte5", "cb_byte2", "cb_byte1", "cb_byte6",
                                 "combo_rel7", "combo_rel8", "cb_byte3", "cb_byte4", "le_byte1", "le_byte8",
                                 "combo_rel2", "combo_rel6", "combo_rel5", "combo_rel4", "combo_rel1", "combo_rel3",
                                 "TextLabel3", "TextLabel1_2", "Line1", "TextLabel2_2"}),
              (QStringList{"GroupBox2", "rb_single_id", "TextLabel1_3", "combo_can_id_start", "TextLabel1",
                           "combo_can_channel", "TextLabel2", "combo_can_id_end", "combo_can_id", "rb_id_range",
                           "GroupBox1", "cb_byte7", "cb_byte8", "cb_byte5", "cb_byte2", "cb_byte1", "cb_byte6",
                           "combo_rel7", "combo_rel8", "cb_byte3", "cb_byte4", "le_byte1", "le_byte8", "combo_rel2",
                           "combo_rel6", "combo_rel5", "combo_rel4", "combo_rel1", "combo_rel3", "TextLabel3",
                           "TextLabel1_2", "Line1", "TextLabel2_2"}));
    const QStringList relations{"equal (==)",         "net equal (!=)",         "greater than (>)",
                                "less than (<)",      "greater or equal (>=)", "less or equal (<=)"};
    QMetaObject::invokeMethod(&can, "languageChange");
    for (QComboBox *combo : can.relation_combos()) {
        EXPECT_EQ(items(combo), relations);
        EXPECT_EQ(combo->currentIndex(), 0);
    }
    EXPECT_FALSE(can.rb_single_id->autoExclusive());
    EXPECT_EQ(can.cb_byte8->text(), "Byte 8");

    WindowTriggerCondTimerBase timer;
    EXPECT_EQ(child_names(&timer, {"combo_cancel_trigger_cond", "TextLabel2_2", "combo_cancel_trigger", "TextLabel2",
                                   "TextLabel5", "combo_trigger", "cb_cancel_trigger", "combo_trigger_cond",
                                   "TextLabel3", "Line1", "TextLabel4", "le_timeout"}),
              (QStringList{"combo_cancel_trigger_cond", "TextLabel2_2", "combo_cancel_trigger", "TextLabel2",
                           "TextLabel5", "combo_trigger", "cb_cancel_trigger", "combo_trigger_cond", "TextLabel3",
                           "Line1", "TextLabel4", "le_timeout"}));
    QMetaObject::invokeMethod(&timer, "languageChange");
    EXPECT_EQ(items(timer.combo_trigger_cond), (QStringList{"Set", "Reset", "Changed"}));
    EXPECT_EQ(timer.combo_cancel_trigger_cond->count(), 0);

    WindowTriggerCondSignalBase signal;
    EXPECT_EQ(signal.windowTitle(), "SignalAndRelationList");
    EXPECT_EQ(headers(signal.table_signals), (QStringList{"Signal", "Relation", "Value", "Scaling"}));
    EXPECT_EQ(signal.pb_insert->text(), "Insert Signals");
}

TEST_F(TriggerDialogs, TriggerListCases)
{
    VyrWindowTriggerList pane(&triggers);
    QTableWidget *table = pane.table_trigger_list;
    ASSERT_EQ(table->rowCount(), 3);
    EXPECT_FALSE(pane.pb_delete->isEnabled());

    // Names: empty and duplicate ones are refused, the old name stays, the
    // cell opens again.
    const struct
    {
        QString typed;
        QString question;
    } refused[] = {{"", "Trigger name must not be empty"}, {"LogOff", "Trigger name must be unique"}};
    for (const auto &row : refused) {
        questions.clear();
        table->item(1, 0)->setText(row.typed);
        EXPECT_EQ(questions, QStringList{row.question});
        EXPECT_EQ(table->item(1, 0)->text(), "LogOn");
        EXPECT_EQ(triggers.find("LogOn")->name(), "LogOn");
        QApplication::processEvents();
        EXPECT_EQ(table->currentRow(), 1);
        EXPECT_NE(table->findChild<QLineEdit *>("name"), nullptr);
    }
    // The validator refuses a blank character by character.
    auto *editor = table->findChild<QLineEdit *>("name");
    editor->clear();
    QTest::keyClicks(editor, "Log On_2");
    EXPECT_EQ(editor->text(), "LogOn_2");

    // Built-in triggers stay.
    table->selectRow(0);
    EXPECT_TRUE(pane.pb_delete->isEnabled());
    pane.pb_delete->click();
    EXPECT_EQ(table->rowCount(), 3);

    // Three new triggers and a cancel leave the list as it was.
    for (int i = 0; i < 3; ++i)
        pane.pb_new->click();
    EXPECT_EQ(table->item(5, 0)->text(), "NewTrigger_3");
    EXPECT_EQ(table->item(5, 1)->text(), "Reset");
    EXPECT_EQ(table->item(5, 2)->text(), "New trigger object");
    table->selectRow(2);
    pane.pb_delete->click();
    table->item(1, 0)->setText("Logging");
    pane.reject();
    EXPECT_EQ(names(), (QStringList{"Running", "LogOn", "LogOff"}));
    EXPECT_EQ(triggers.find("LogOff")->flags(), 0u);
    pane.build();
    pane.pb_new->click();
    EXPECT_EQ(names().last(), "NewTrigger_1");

    // Accept: renames and deletes settle.
    table->item(1, 0)->setText("Logging");
    table->selectRow(2);
    pane.pb_delete->click();
    pane.accept();
    EXPECT_EQ(names(), (QStringList{"Running", "Logging", "NewTrigger_1"}));
    EXPECT_TRUE(triggers.find("Logging")->saved_name().isEmpty());
    EXPECT_EQ(triggers.find("NewTrigger_1")->flags(), 0u);
}

TEST_F(TriggerDialogs, ConditionListCasesAndTheRenameOfTimerTriggers)
{
    auto timer = std::make_unique<VyrTriggerCondDataTimer>();
    timer->start_trigger = "LogOn";
    timer->timeout_ms = 250;
    auto *timed = new VyrTriggerCond(&conditions);
    timed->set_cond_data(std::move(timer));
    timed->set_target(triggers.find("LogOff"));
    auto *keyed = new VyrTriggerCond(&conditions);
    keyed->set_cond_data(std::make_unique<VyrTriggerCondDataKey>());

    VyrDialogTriggerSettings dialog(&triggers, &conditions, nullptr, "trigger_settings");
    auto *pane = dialog.findChild<VyrWindowTriggerCondList *>("trigger_cond_list");
    auto *trigger_pane = dialog.findChild<VyrWindowTriggerList *>("trigger_list");
    ASSERT_TRUE(pane && trigger_pane);
    EXPECT_EQ(dialog.tab->count(), 2);
    EXPECT_EQ(dialog.tab->tabText(0), "Trigger List");
    QTableWidget *table = pane->table_cond_list;
    ASSERT_EQ(table->rowCount(), 2);
    EXPECT_EQ(table->item(0, 1)->text(), "Timeout=250ms, after trigger 'LogOn' has been Set");
    EXPECT_EQ(pane->cell_combo(0, 0)->objectName(), "type");
    EXPECT_EQ(pane->cell_combo(0, 0)->currentText(), "On Timer");
    EXPECT_EQ(items(pane->cell_combo(0, 2)),
              (QStringList{"SetTrigger", "ResetTrigger", "ToggleTrigger", "PulseTrigger"}));
    EXPECT_EQ(pane->cell_combo(0, 3)->objectName(), "name");
    EXPECT_EQ(pane->cell_combo(0, 3)->currentText(), "LogOff");

    // A new condition; its kind chosen gives it empty data of that kind.
    pane->pb_new->click();
    EXPECT_EQ(table->item(2, 1)->text(), "--- New Trigger Condition ---");
    QComboBox *kind = pane->cell_combo(2, 0);
    kind->setCurrentIndex(kind->findText("On Key"));
    emit kind->activated(kind->currentIndex());
    EXPECT_EQ(table->item(2, 1)->text(), "Key=");
    pane->cell_combo(2, 3)->setCurrentText("LogOn");
    pane->cell_combo(2, 2)->setCurrentText("PulseTrigger");

    // The key row's kind changed: its settings go.
    QComboBox *key_kind = pane->cell_combo(1, 0);
    key_kind->setCurrentIndex(key_kind->findText("On Signal"));
    emit key_kind->activated(key_kind->currentIndex());
    EXPECT_EQ(table->item(1, 1)->text(), "  <empty>  ");

    // A double click on a description opens the editor of its kind.
    set_trigger_cond_dialog_observer([](VyrDialogTriggerCondSettings *settings) {
        QTimer::singleShot(0, settings, [settings] {
            auto *editor = settings->findChild<VyrWindowTriggerCondTimer *>("trigger_cond_timer");
            ASSERT_NE(editor, nullptr);
            EXPECT_EQ(editor->le_timeout->text(), "250");
            editor->le_timeout->setText("500");
            settings->findChild<QPushButton *>("pb_ok")->click();
        });
    });
    pane->on_double_click(0, 1, Qt::LeftButton, QPoint());
    EXPECT_EQ(table->item(0, 1)->text(), "Timeout=500ms, after trigger 'LogOn' has been Set");
    EXPECT_EQ(static_cast<VyrTriggerCondDataTimer *>(timed->cond_data())->timeout_ms, 250); // still pending

    // The timer's start trigger renamed in the other pane follows it.
    trigger_pane->table_trigger_list->item(1, 0)->setText("LogStart");
    dialog.tab->setCurrentIndex(1);
    EXPECT_EQ(pane->cell_combo(0, 3)->currentText(), "LogOff");
    render(&dialog, "trigger_settings");
    dialog.pb_ok->click();

    ASSERT_EQ(conditions.count(), 3);
    const auto *timer_data = static_cast<VyrTriggerCondDataTimer *>(timed->cond_data());
    EXPECT_EQ(timer_data->timeout_ms, 500);
    EXPECT_EQ(timer_data->start_trigger, "LogStart");
    EXPECT_EQ(keyed->type(), VyrTriggerCondDataSignal::kind_number);
    VyrTriggerCond *created = conditions.first();
    conditions.next();
    created = conditions.next();
    EXPECT_EQ(created->type(), VyrTriggerCondDataKey::kind_number);
    EXPECT_EQ(created->action(), VyrTriggerCond::PulseTrigger);
    EXPECT_EQ(created->target(), triggers.find("LogStart"));
    EXPECT_EQ(created->flags(), 0u);
}

TEST_F(TriggerDialogs, CancelRestoresTheConditionList)
{
    auto *kept = new VyrTriggerCond(&conditions);
    kept->set_cond_data(std::make_unique<VyrTriggerCondDataKey>());
    VyrDialogTriggerSettings dialog(&triggers, &conditions);
    auto *pane = dialog.trigger_cond_list();
    pane->pb_new->click();
    pane->table_cond_list->selectRow(0);
    pane->pb_delete->click();
    EXPECT_EQ(pane->table_cond_list->rowCount(), 1);
    dialog.pb_cancel->click();
    ASSERT_EQ(conditions.count(), 1);
    EXPECT_EQ(conditions.first(), kept);
    EXPECT_EQ(kept->flags(), 0u);
}

TEST_F(TriggerDialogs, EditorsCarryTheirDataBothWays)
{
    vyr_test::VyrTestShell shell;
    vyr_test::TestInterface can(&shell, &shell.notification, "CAN");
    vyr_test::TestInterface rx(&shell, &shell.notification, "CAN-RX");
    vyr_test::TestInterface other(&shell, &shell.notification, "LIN");
    const QString can_id = QString::fromStdString(can.make_id());

    auto can_range = std::make_unique<VyrTriggerCondDataCan>();
    can_range->can_if = can_id;
    can_range->message_id_start = "100h";
    can_range->message_id_end = "1ffh";
    can_range->byte_tests[0] = {true, 0x0a, 0, RelationLess};
    can_range->byte_tests[7] = {true, 0xff, 0, RelationNotEqual};
    auto can_single = std::make_unique<VyrTriggerCondDataCan>();
    can_single->message_id_start = can_single->message_id_end = "Error Frame";
    auto key = std::make_unique<VyrTriggerCondDataKey>();
    key->key_code = key_modifier_alt | key_name_to_code("F3");
    auto signal = std::make_unique<VyrTriggerCondDataSignal>();
    signal->relations.push_back({can_id, "Temperature", 0.1234567, RelationGreater, true});
    signal->relations.push_back({can_id, "Enable", -3, RelationEqual, false});
    auto timer = std::make_unique<VyrTriggerCondDataTimer>();
    timer->start_trigger = "LogOff";
    timer->start_event = VyrTriggerCondDataTimer::Changed;
    timer->timeout_ms = 1234;
    timer->cancel_active = true;
    timer->cancel_trigger = "Running";
    timer->cancel_event = VyrTriggerCondDataTimer::Reset;

    std::unique_ptr<VyrTriggerCondData> cases[] = {std::move(can_range), std::move(can_single), std::move(key),
                                                   std::move(signal), std::move(timer)};
    for (auto &data : cases) {
        const VyrTriggerCondKind *kind = VyrTriggerCondKind::find(data->kind());
        VyrDialogTriggerCondSettings settings(nullptr, kind);
        ASSERT_NE(settings.editor(), nullptr);
        SCOPED_TRACE(settings.editor()->objectName().toStdString());
        emit settings.signal_set_cond_data(data.get());
        std::unique_ptr<VyrTriggerCondData> back = kind->create();
        emit settings.signal_get_cond_data(back.get());
        QtbConfig written, read_back;
        data->write_config(written.add_group("c"));
        back->write_config(read_back.add_group("c"));
        EXPECT_EQ(back->description(), data->description());
        QTemporaryDir dir;
        written.write_file(dir.filePath("a"));
        read_back.write_file(dir.filePath("b"));
        QFile a(dir.filePath("a")), b(dir.filePath("b"));
        a.open(QIODevice::ReadOnly);
        b.open(QIODevice::ReadOnly);
        EXPECT_EQ(a.readAll(), b.readAll());
        render(&settings, settings.editor()->objectName().toLatin1().constData());
    }

    // The CAN editor: CAN channels only, "Error Frame" first, bytes as "%02xH".
    VyrWindowTriggerCondCan editor;
    EXPECT_EQ(items(editor.combo_can_channel), (QStringList{"", "CAN 1", "CAN-RX 1"}));
    EXPECT_EQ(items(editor.combo_can_id), QStringList{"Error Frame"});
    auto data = std::make_unique<VyrTriggerCondDataCan>();
    data->can_if = can_id;
    data->message_id_start = data->message_id_end = "7ffh";
    data->byte_tests[1] = {true, 0x0b, 0, RelationEqual};
    editor.set_cond_data(data.get());
    EXPECT_EQ(editor.combo_can_channel->currentText(), "CAN 1");
    EXPECT_EQ(editor.combo_can_id->currentText(), "7ffh");
    EXPECT_TRUE(editor.rb_single_id->isChecked());
    EXPECT_FALSE(editor.combo_can_id_start->isEnabled());
    EXPECT_EQ(editor.le_byte2->text(), "0bH");
    EXPECT_TRUE(editor.le_byte2->isEnabled());
    EXPECT_FALSE(editor.le_byte3->isEnabled());
    editor.rb_id_range->click();
    EXPECT_FALSE(editor.rb_single_id->isChecked());
    EXPECT_TRUE(editor.combo_can_id_end->isEnabled());

    // The signal editor takes signals from the selection and deletes rows.
    VyrWindowTriggerCondSignal signals_editor;
    signals_editor.pb_insert->click(); // no selection dialog yet: nothing happens
    EXPECT_EQ(signals_editor.table_signals->rowCount(), 0);
    signals_editor.insert_signal(can_id, "Temperature");
    signals_editor.insert_signal(can_id, "Enable");
    EXPECT_EQ(signals_editor.table_signals->item(1, 0)->text(), can_id + "::Enable");
    signals_editor.table_signals->selectRow(0);
    signals_editor.pb_delete->click();
    VyrTriggerCondDataSignal relations;
    signals_editor.get_cond_data(&relations);
    ASSERT_EQ(relations.relations.size(), 1u);
    EXPECT_EQ(relations.relations[0].signal_name, "Enable");

    // The timer editor's cancel controls follow the check box.
    VyrWindowTriggerCondTimer timer_editor;
    EXPECT_EQ(items(timer_editor.combo_trigger), (QStringList{"Running", "LogOn", "LogOff"}));
    EXPECT_FALSE(timer_editor.combo_cancel_trigger->isEnabled());
    timer_editor.cb_cancel_trigger->click();
    EXPECT_TRUE(timer_editor.combo_cancel_trigger_cond->isEnabled());
}
