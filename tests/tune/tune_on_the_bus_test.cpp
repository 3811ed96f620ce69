// The tune window on the vrbus daemon: rows of database signals follow the
// frames of the test's node as python3-canmatrix decodes them, their fields
// stay disabled, and a value committed for a script output signal reaches
// the bus in a frame that decodes to it.
#include "../interfaces/can_test_support.h"

#include "test_support.h"
#include "windows/tune/vyr_signal_view.h"
#include "core/vyr_signal_list.h"
#include "core/widgets/vyr_signal_select_list_view.h"
#include "windows/signals/vyr_signal_select.h"
#include "windows/tune/vyr_tune.h"

#include <QFile>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <gtest/gtest.h>

namespace {

std::string motohawk_dbc()
{
    return vyr_test::testdata_dir() + "/dbc/cantools/tests/files/dbc/motohawk.dbc";
}

QStringList hex(const uint8_t *data)
{
    QString text;
    for (int i = 0; i < 8; ++i)
        text += QString::asprintf("%02x", data[i]);
    return {QStringLiteral("ExampleMessage:") + text};
}

class TuneOnTheBus : public can_test::CanFixture
{
protected:
    ~TuneOnTheBus() override { delete tune; }

    // The script's output signal fills the database message and sends it.
    VyrCanIf *make_interface()
    {
        VyrCanIf *can = make("CAN", can_test::virtual_channel, "", {QString::fromStdString(motohawk_dbc())});
        const QString path = dir.filePath("tune.vys");
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("output \"TargetTemperature\" {\n"
                   "  CanMessage_ExampleMessage m;\n"
                   "  m.Temperature.Phys = this;\n"
                   "  m.Enable.Phys = 1;\n"
                   "  canSendMessage (m);\n"
                   "}\n");
        file.close();
        can->set_script_file(path);
        EXPECT_EQ(can->sclib_init(), 0);
        return can;
    }

    void make_tune(VyrCanIf *can)
    {
        tune = static_cast<VyrTune *>(VyrTune::create(nullptr, nullptr));
        const QString id = QString::fromStdString(can->make_id());
        for (const char *name :
             {"motohawk.ExampleMessage.Enable", "motohawk.ExampleMessage.Temperature", "TargetTemperature"})
            tune->insert_signal(id, QString::fromLatin1(name));
        ASSERT_EQ(tune->view()->item_count(), 3);
        for (int i = 0; i < 3; ++i)
            ASSERT_NE(tune->view()->item(i)->signal(), nullptr) << i;
        tune->resize(400, 300);
        tune->show();
    }

    VyrSignalViewItem *item(int i) const { return tune->view()->item(i); }
    QToolButton *commit() const { return tune->findChild<QToolButton *>(QStringLiteral("commit_button")); }

    QTemporaryDir dir;
    VyrTune *tune = nullptr;
};

} // namespace

TEST_F(TuneOnTheBus, RowsFollowTheBusAndCommittedValuesGoOut)
{
    VYR_REQUIRE_TESTDATA();
    VyrCanIf *can = make_interface();
    make_tune(can);

    // Offline, Return still commits: the row takes the value, the interface
    // drops the request, and nothing reaches the bus.
    can_test::BusNode node;
    tune->view()->display_list()->set_cursor(item(2));
    tune->edit_field()->setText("255");
    QTest::keyClick(tune->edit_field(), Qt::Key_Return);
    EXPECT_EQ(item(2)->current_value().double_value, 255.0);
    EXPECT_FALSE(tune->view()->pending());
    VyrCanMessage frame;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    while (node.channel->read_can_message(&frame) == canhwSuccess)
        EXPECT_NE(frame.id, 0x1F0u);

    // The windows start before the interfaces open their channels, as in the program.
    tune->startup();
    can_test::Measurement measurement({can});
    ASSERT_EQ(measurement.start(), 0);

    // Frames of the node update the database rows.
    const uint8_t payload[] = {0x80, 0x4A, 0x0F, 0x00, 0x00, 0x00, 0x00, 0x00};
    node.send(0x1F0, 0, std::vector<uint8_t>(payload, payload + 8));
    ASSERT_TRUE(can_test::eventually([&] { return item(1)->current_value().type != 0 &&
                                                   VyrSignalView::value_text(*item(1)) != "0"; }));
    tune->update_signals();
    const QString dbc = QString::fromStdString(motohawk_dbc());
    const auto raw = can_test::canmatrix_decode(dbc, hex(payload), true);
    const auto physical = can_test::canmatrix_decode(dbc, hex(payload));
    if (raw.size() != 1 || physical.size() != 1) {
        tune->stop();
        GTEST_SKIP() << "python3-canmatrix did not run";
    }
    // The scaled temperature shows its physical value; Enable the value
    // description of its raw value.
    const double temperature = physical[0].at("ExampleMessage.Temperature");
    EXPECT_NEAR(item(1)->current_value().double_value, temperature, 1e-9);
    EXPECT_EQ(VyrSignalView::value_text(*item(1)), QString::asprintf("%lg", temperature));
    EXPECT_EQ(item(0)->current_value().int_value, int(raw[0].at("ExampleMessage.Enable")));
    EXPECT_EQ(VyrSignalView::value_text(*item(0)), "Enabled");

    // A database signal is an input: its field is disabled.
    tune->view()->display_list()->set_cursor(item(1));
    EXPECT_FALSE(tune->edit_field()->isEnabled());

    // The output signal takes a typed value; Commit sends it.
    tune->view()->display_list()->set_cursor(item(2));
    EXPECT_TRUE(tune->edit_field()->isEnabled());
    tune->edit_field()->setText("260");
    EXPECT_TRUE(commit()->isEnabled());
    QTest::mouseClick(commit(), Qt::LeftButton);
    ASSERT_TRUE(node.receive(0x1F0, frame));
    const auto sent = can_test::canmatrix_decode(dbc, hex(frame.data));
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_NEAR(sent[0].at("ExampleMessage.Temperature"), 260.0, 1e-9);
    EXPECT_EQ(sent[0].at("ExampleMessage.Enable"), 1.0);
    tune->stop();
}

// "Insert Signals" opens the one signal selection dialog for the window;
// a double-clicked signal becomes the window's next row.
TEST_F(TuneOnTheBus, InsertSignalsPicksFromTheSignalSelection)
{
    VYR_REQUIRE_TESTDATA();
    VyrCanIf *can = make_interface();
    tune = static_cast<VyrTune *>(VyrTune::create(nullptr, nullptr));
    tune->view()->on_popup_menu_command(VyrSignalView::InsertSignals);
    VyrSignalSelect *dialog = signal_select_dialog();
    ASSERT_NE(dialog, nullptr);
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_EQ(dialog->parentWidget(), tune);
    EXPECT_EQ(dialog->windowTitle(), tune->caption() + " Signal Selection");
    QTreeWidget *list = dialog->signal_list();
    QTreeWidgetItem *target = nullptr;
    for (int i = 0; i < list->topLevelItemCount(); ++i)
        if (list->topLevelItem(i)->text(0) == "TargetTemperature")
            target = list->topLevelItem(i);
    ASSERT_NE(target, nullptr);
    dialog->doubleClicked(target);
    ASSERT_EQ(tune->view()->item_count(), 1);
    EXPECT_EQ(tune->view()->item(0)->signal(), can->signal_list()->find("TargetTemperature"));
    // The window takes its dialog along when it goes.
    delete tune;
    tune = nullptr;
    EXPECT_EQ(signal_select_dialog(), nullptr);
}
