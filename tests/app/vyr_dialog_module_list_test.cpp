// The interface list and the CAN settings dialog in the real main window on
// the vrbus daemon, driven through their object names as a user drives
// them: a CAN interface made from the list, measured, saved and reopened;
// renaming, configuring and deleting from the list.
#include "app/vyr_main.h"
#include "core/vyr_signal_if_type.h"
#include "core/vyr_signal_list.h"
#include "core/vyr_trigger.h"
#include "interfaces/can/vyr_can_if.h"
#include "interfaces/widgets/interface_dialog_services.h"
#include "interfaces/widgets/vyr_dialog_can_bitrate.h"
#include "interfaces/widgets/vyr_dialog_module_list.h"
#include "message_window_rows.h"
#include "test_paths.h"
#include "tests/app/form_test_support.h"
#include "tests/interfaces/can_test_support.h" // runs the vrbus daemon around the program
#include "windows/trace/vyr_message_view.h"
#include "windows/trace/vyr_trace.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileInfo>
#include <QRegularExpression>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <gtest/gtest.h>

namespace {

using can_test::virtual_channel;

QString motohawk_dbc()
{
    return vyr_test::configured_testdata_dir() + "/dbc/cantools/tests/files/dbc/motohawk.dbc";
}

QStringList row(QTableWidget *table, int index)
{
    QStringList cells;
    for (int column = 0; column < table->columnCount(); ++column)
        cells << (table->item(index, column) ? table->item(index, column)->text() : QString());
    return cells;
}

// Runs `act` on the popup menu once it is open, then chooses the entry.
void when_popup(const QString &entry, std::function<void()> after_choice = {})
{
    QTimer::singleShot(0, [entry, after_choice] {
        auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
        ASSERT_NE(menu, nullptr);
        QAction *chosen = nullptr;
        for (QAction *action : menu->actions())
            if (action->text() == entry)
                chosen = action;
        ASSERT_NE(chosen, nullptr) << entry.toStdString();
        if (after_choice)
            after_choice();
        menu->setActiveAction(chosen);
        QTest::keyClick(menu, Qt::Key_Return);
    });
}

// Fills the new CAN interface's dialog as the user does.
void set_up_can_dialog(QWidget *modal)
{
    auto *dialog = qobject_cast<VyrDialogCANBitrate *>(modal);
    ASSERT_NE(dialog, nullptr);
    dialog->cb_activate->click();
    const int channel = dialog->cb_can_channel->findText(virtual_channel);
    ASSERT_GE(channel, 0);
    dialog->cb_can_channel->setCurrentIndex(channel);
    emit dialog->cb_can_channel->activated(channel);
    dialog->rb_500kb->click();
    dialog->pb_select_candb->click();
    dialog->pb_select_script->click();
    ASSERT_TRUE(dialog->pb_ok->isEnabled());
    dialog->pb_ok->click();
}

class ModuleList : public ::testing::Test
{
protected:
    void SetUp() override
    {
        VyrTriggerList::set_instance(&triggers);
        add_running_trigger(&triggers);
        previous_directory = QDir::currentPath();
        ASSERT_TRUE(QDir::setCurrent(dir.path()));
        install_interface_dialogs();
        set_interface_file_chooser([](QWidget *, const QString &caption, const QString &, const QString &) {
            return caption == "Select Signal File" ? QStringLiteral("example.vys") : motohawk_dbc();
        });
        QFile script(dir.filePath("example.vys"));
        ASSERT_TRUE(script.open(QIODevice::WriteOnly));
        script.write("on CanMessage ExampleMessage {\n"
                     "  printf(\"Example %d %d %d\\n\", this.Temperature.Raw, this.AverageRadius.Raw,"
                     " this.Enable.Raw);\n"
                     "}\n");
    }
    void TearDown() override
    {
        set_interface_file_chooser({});
        QDir::setCurrent(previous_directory);
        VyrTriggerList::set_instance(nullptr);
    }

    // Opens the list from the tool bar and runs `act` in it.
    void in_list(VyrMain &window, std::function<void(VyrDialogModuleList *)> act)
    {
        form_test::when_modal([act](QWidget *modal) {
            auto *list = qobject_cast<VyrDialogModuleList *>(modal);
            ASSERT_NE(list, nullptr);
            EXPECT_EQ(list->objectName(), QString("module_list"));
            act(list);
            list->pb_close->click();
        });
        window.tool_bar().button_interfaces->click();
    }

    // A new CAN interface from the list's create menu.
    void create_can_interface(VyrMain &window)
    {
        in_list(window, [](VyrDialogModuleList *list) {
            when_popup("Create new CAN Interface", [] { form_test::when_modal(set_up_can_dialog); });
            list->pb_new->click();
            ASSERT_EQ(list->table_module_list->rowCount(), 1);
        });
    }

    VyrTriggerList triggers;
    QTemporaryDir dir;
    QString previous_directory;
};

} // namespace

TEST_F(ModuleList, ANewCanInterfaceMeasuresSavesAndReopens)
{
    if (!QFileInfo::exists(motohawk_dbc()))
        GTEST_SKIP() << "no test data at " << vyr_test::configured_testdata_dir().toStdString();
    VyrMain window;
    window.setAttribute(Qt::WA_DeleteOnClose, false);
    create_can_interface(window);
    auto *can = dynamic_cast<VyrCanIf *>(get_first_signal_if());
    ASSERT_NE(can, nullptr);
    EXPECT_TRUE(window.configuration_modified());
    in_list(window, [can](VyrDialogModuleList *list) {
        EXPECT_EQ(row(list->table_module_list, 0),
                  QStringList({"CAN", "CAN1", QString::fromStdString(can->name()), "CAN Interface"}));
    });
    EXPECT_TRUE(can->active());
    EXPECT_EQ(can->channel_name(), QString(virtual_channel));
    EXPECT_EQ(can->bitrate(), 500000);
    EXPECT_EQ(can->script_file(), QString("example.vys"));

    // F5: frames of the database message decode as canmatrix decodes them,
    // in the interface's signals and in the script's handler.
    const std::vector<QString> payloads = {"C0FE123456789ABC", "3F01000000000000"};
    QStringList frames;
    for (const QString &payload : payloads)
        frames << "ExampleMessage:" + payload;
    const auto expected = can_test::canmatrix_decode(motohawk_dbc(), frames, true);
    const auto expected_phys = can_test::canmatrix_decode(motohawk_dbc(), frames);
    if (expected.size() != payloads.size() || expected_phys.size() != payloads.size())
        GTEST_SKIP() << "python3-canmatrix did not run";
    SignalRecord *temperature = nullptr;
    for (SignalRecord *s = can->signal_list()->first(); s; s = can->signal_list()->next())
        if (QString::fromStdString(s->name()).endsWith(".ExampleMessage.Temperature"))
            temperature = s;
    ASSERT_NE(temperature, nullptr);
    can_test::ValueRecorder recorder;
    ASSERT_EQ(can->add_signal_listener(&recorder, temperature), 0);
    window.menus().id_start->trigger(); // Measure > Start, F5
    ASSERT_TRUE(window.measurement_running()) << message_window_rows(window).join('\n').toStdString();
    {
        can_test::BusNode node;
        for (const QString &payload : payloads) {
            std::vector<uint8_t> data;
            for (const char byte : QByteArray::fromHex(payload.toLatin1()))
                data.push_back(uint8_t(byte));
            node.send(0x1F0, 0, data);
        }
        EXPECT_TRUE(QTest::qWaitFor(
            [&] { return message_window_rows(window).filter(QRegularExpression(": Example ")).size() == 2; }, 5000));
    }
    window.stop();
    const QStringList handled = message_window_rows(window).filter(QRegularExpression(": Example "));
    ASSERT_EQ(handled.size(), 2) << message_window_rows(window).join('\n').toStdString();
    const std::vector<SignalValue> values = recorder.taken();
    ASSERT_GE(values.size(), 2u);
    for (size_t i = 0; i < payloads.size(); ++i) {
        SCOPED_TRACE(payloads[i].toStdString());
        EXPECT_EQ(handled[int(i)].section(": ", 1),
                  QString("Example %1 %2 %3")
                      .arg(expected[i].at("ExampleMessage.Temperature"))
                      .arg(expected[i].at("ExampleMessage.AverageRadius"))
                      .arg(expected[i].at("ExampleMessage.Enable")));
        const SignalValue &value = values[values.size() - payloads.size() + i];
        const double decoded = value.type == SignalValue::Double ? value.double_value : value.int_value;
        EXPECT_NEAR(decoded, expected_phys[i].at("ExampleMessage.Temperature"), 1e-9);
    }
    can->clear_signal_listeners();

    // Saved and reopened, Settings > CAN Settings shows the same dialog.
    const QString path = dir.filePath("made.vyr");
    window.configuration().set_file_name(path);
    ASSERT_TRUE(window.save_configuration());
    window.load_configuration(path.toLocal8Bit().constData());
    ASSERT_NE(get_first_signal_if(), nullptr);
    EXPECT_NE(get_first_signal_if(), nullptr);
    window.build_settings_menu();
    QMenu *can_settings = nullptr;
    for (QMenu *menu : window.menus().menu_settings->findChildren<QMenu *>())
        if (menu->title() == "CAN Settings")
            can_settings = menu;
    ASSERT_NE(can_settings, nullptr);
    ASSERT_EQ(can_settings->actions().size(), 1);
    form_test::when_modal([](QWidget *modal) {
        auto *dialog = qobject_cast<VyrDialogCANBitrate *>(modal);
        ASSERT_NE(dialog, nullptr);
        EXPECT_TRUE(dialog->cb_activate->isChecked());
        EXPECT_EQ(dialog->cb_can_channel->currentText(), QString(virtual_channel));
        EXPECT_TRUE(dialog->rb_500kb->isChecked());
        EXPECT_EQ(dialog->l_tseg1->text(), QString("11"));
        EXPECT_EQ(dialog->database_file_count(), 1);
        EXPECT_TRUE(dialog->database_file(0).endsWith("motohawk.dbc"));
        EXPECT_EQ(dialog->script_file(), QString("example.vys"));
        dialog->pb_cancel->click();
    });
    can_settings->actions().first()->trigger();
}

TEST_F(ModuleList, RenameConfigureAndDelete)
{
    VyrMain window;
    window.setAttribute(Qt::WA_DeleteOnClose, false);
    window.create_default_interfaces();
    window.create_default_interfaces();
    ASSERT_NE(get_first_signal_if(), nullptr);
    VyrSignalIf *second = get_first_signal_if()->next();
    ASSERT_NE(second, nullptr);
    VyrDataWindow *trace = window.create_data_window(QStringLiteral("Trace"), nullptr);
    ASSERT_NE(trace, nullptr);
    auto *trace_window = qobject_cast<VyrTrace *>(trace);
    ASSERT_NE(trace_window, nullptr);
    trace_window->view()->set_interface(VyrCanIf::of(second));
    ASSERT_NE(trace_window->view()->interface(), nullptr);

    in_list(window, [&](VyrDialogModuleList *list) {
        QTableWidget *table = list->table_module_list;
        ASSERT_EQ(table->rowCount(), 2);
        EXPECT_FALSE(list->pb_configure->isEnabled());
        EXPECT_FALSE(list->pb_delete->isEnabled());
        EXPECT_EQ(row(table, 1)[1], QString::fromStdString(second->make_id()));
        // Only the name can be edited, and typing it renames at once.
        EXPECT_FALSE(table->item(0, 0)->flags() & Qt::ItemIsEditable);
        EXPECT_FALSE(table->item(0, 1)->flags() & Qt::ItemIsEditable);
        table->item(1, 2)->setText("Body bus");
        EXPECT_EQ(second->name(), "Body bus");

        // A double click on the name edits it; elsewhere it configures.
        int configured = 0;
        QTimer cancel_settings;
        QObject::connect(&cancel_settings, &QTimer::timeout, [&configured] {
            if (auto *dialog = qobject_cast<VyrDialogCANBitrate *>(QApplication::activeModalWidget())) {
                ++configured;
                dialog->pb_cancel->click();
            }
        });
        cancel_settings.start(10);
        emit table->cellDoubleClicked(1, 2);
        EXPECT_EQ(configured, 0);
        emit table->cellDoubleClicked(1, 0);
        EXPECT_EQ(configured, 1);
        cancel_settings.stop();

        table->selectRow(1);
        EXPECT_TRUE(list->pb_delete->isEnabled());
        list->pb_delete->click();
        EXPECT_EQ(table->rowCount(), 1);
    });
    EXPECT_EQ(get_first_signal_if()->next(), nullptr);
    EXPECT_EQ(trace_window->view()->interface(), nullptr);
    EXPECT_TRUE(window.configuration_modified());
}

TEST_F(ModuleList, CreateMenuCountsEveryTypeAndRefusesChangesWhileMeasuring)
{
    VyrMain window;
    window.setAttribute(Qt::WA_DeleteOnClose, false);
    VyrSignalIfType *can_rx = find_signal_if_type("CAN-RX");
    ASSERT_NE(can_rx, nullptr);
    can_rx->set_in_menu(false);
    VyrDialogModuleList list(&window, "module_list");
    int can_index = 0;
    int rx_index = 0;
    int index = 0;
    for (VyrSignalIfType *type = get_first_signal_if_type(); type; type = type->next(), ++index) {
        if (type->type_name() == "CAN")
            can_index = index;
        if (type == can_rx)
            rx_index = index;
    }
    QMenu *menu = list.create_menu();
    QStringList entries;
    for (QAction *action : menu->actions())
        entries << action->text() + "=" + QString::number(action->data().toInt());
    EXPECT_TRUE(entries.contains(QString("Create new CAN Interface=%1").arg(2000 + can_index)));
    EXPECT_FALSE(entries.join(' ').contains(QString("=%1").arg(2000 + rx_index)));
    can_rx->set_in_menu(true);
    EXPECT_EQ(list.create_menu(), menu); // made once, refilled
    EXPECT_EQ(menu->actions().size(), entries.size() + 1);

    window.create_default_interfaces();
    list.build();
    list.table_module_list->selectRow(0);
    EXPECT_TRUE(list.pb_delete->isEnabled());
    // A measurement started from outside while the list is open: the
    // buttons go off, and the slots refuse as well.
    list.set_measurement_running_query([] { return true; });
    list.show_state();
    EXPECT_FALSE(list.pb_delete->isEnabled());
    EXPECT_FALSE(list.pb_configure->isEnabled());
    list.delete_selected_module();
    list.configure_selected_module();
    EXPECT_NE(get_first_signal_if(), nullptr);
}
