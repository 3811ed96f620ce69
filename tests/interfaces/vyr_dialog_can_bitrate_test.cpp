// The CAN settings dialog driven as a user drives it: bitrates, sample
// points, the CAN FD data phase, the bus timing registers, the filters and
// their bit patterns, a second interface on a channel, and configure's round
// trip from the interface through the dialog and back.
#include "core/vyr_signal_if.h"
#include "forms/vyr_bit_pattern_edit.h"
#include "interfaces/can/can_settings_dialog.h"
#include "interfaces/can/vyr_can_if.h"
#include "interfaces/widgets/interface_dialog_services.h"
#include "interfaces/widgets/vyr_dialog_can_bitrate.h"
#include "tests/app/form_test_support.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

namespace {

QStringList items(const QComboBox *combo)
{
    QStringList texts;
    for (int i = 0; i < combo->count(); ++i)
        texts << combo->itemText(i);
    return texts;
}

// The results the chip-parameter page shows: bitrate, tseg1, tseg2, prescaler.
QStringList results(const VyrDialogCANBitrate &dialog)
{
    return {dialog.l_bitrate->text(), dialog.l_tseg1->text(), dialog.l_tseg2->text(), dialog.l_prescaler->text()};
}

void choose(QComboBox *combo, const QString &text)
{
    const int index = combo->findText(text);
    ASSERT_GE(index, 0) << text.toStdString();
    combo->setCurrentIndex(index);
    emit combo->activated(index);
}

// An active dialog, as configure fills it for an active interface.
struct ActiveDialog
{
    ActiveDialog() { dialog.set_active(true); }
    VyrDialogCANBitrate dialog;
};

} // namespace

TEST(CanBitrateDialog, BitratesFindTheirTiming)
{
    ActiveDialog active;
    VyrDialogCANBitrate &dialog = active.dialog;
    EXPECT_EQ(results(dialog), QStringList({"1000000", "5", "2", "1"}));
    EXPECT_EQ(dialog.le_btr0->text(), QString("0"));
    EXPECT_EQ(dialog.le_btr1->text(), QString("14"));

    dialog.rb_500kb->click();
    EXPECT_EQ(items(dialog.cb_sample_point), QStringList({"50", "56", "62", "68", "75", "81", "87", "93"}));
    EXPECT_EQ(dialog.cb_sample_point->currentText(), QString("75"));
    EXPECT_EQ(items(dialog.cb_prescaler), QStringList({"ANY", "1", "2", "4"}));
    EXPECT_EQ(results(dialog), QStringList({"500000", "11", "4", "1"}));
    EXPECT_EQ(dialog.l_sample_point->text(), QString("75 %"));
    EXPECT_EQ(dialog.le_btr1->text(), QString("3a"));

    // A chosen prescaler and sample point search again within them.
    choose(dialog.cb_prescaler, "2");
    EXPECT_EQ(results(dialog), QStringList({"500000", "5", "2", "2"}));
    choose(dialog.cb_sample_point, "87");
    EXPECT_EQ(results(dialog), QStringList({"500000", "6", "1", "2"}));

    dialog.rb_83kb->click();
    EXPECT_EQ(results(dialog), QStringList({"83333", "11", "4", "6"}));
    EXPECT_TRUE(dialog.pb_ok->isEnabled());

    // "Other:" takes 5 to 1000 kbit/s; beyond them there is no timing and no OK.
    dialog.rb_other_bitrate->click();
    EXPECT_TRUE(dialog.le_other_bitrate->isEnabled());
    const struct
    {
        const char *kbits;
        bool valid;
        const char *bitrate;
    } other[] = {{"4.999", false, "0"}, {"1000.5", false, "0"}, {"33.333", true, "33333"},
                 {"1e12", false, "0"},  {"5", true, "5000"},    {"", false, "0"}};
    for (const auto &c : other) {
        SCOPED_TRACE(c.kbits);
        dialog.le_other_bitrate->setText(c.kbits);
        EXPECT_EQ(dialog.pb_ok->isEnabled(), c.valid);
        EXPECT_EQ(dialog.l_bitrate->text(), QString(c.bitrate));
    }
    // An inactive interface may be stored with any timing.
    dialog.cb_activate->click();
    EXPECT_TRUE(dialog.pb_ok->isEnabled());
    EXPECT_FALSE(dialog.gb_bitrate->isEnabled());
}

TEST(CanBitrateDialog, CanFdDataPhaseAndItsClock)
{
    ActiveDialog active;
    VyrDialogCANBitrate &dialog = active.dialog;
    EXPECT_EQ(items(dialog.cb_brs_clock),
              QStringList({"8MHz", "16MHz", "40MHz", "64MHz", "80MHz", "160MHz", "200MHz"}));
    EXPECT_EQ(dialog.tl_brs_bitrate->text(), QString(" --- "));
    EXPECT_FALSE(dialog.cb_brs_clock->isEnabled());

    dialog.cb_canfd_enable->click();
    EXPECT_EQ(dialog.cb_sjw->count(), 16);
    EXPECT_FALSE(dialog.rb_chip_params->isEnabled());
    EXPECT_TRUE(dialog.cb_brs_clock->isEnabled());
    choose(dialog.cb_brs_clock, "80MHz");
    EXPECT_EQ(dialog.clock(), 80000000u);
    dialog.rb_500kb->click();
    EXPECT_EQ(results(dialog), QStringList({"500000", "59", "20", "2"}));
    EXPECT_EQ(items(dialog.cb_prescaler), QStringList({"ANY", "2", "4", "5", "8"}));

    choose(dialog.cb_brs_clock, "200MHz");
    choose(dialog.cb_brs_prescaler, "1");
    choose(dialog.cb_brs_tseg1, "3");
    choose(dialog.cb_brs_tseg2, "1");
    EXPECT_EQ(dialog.tl_brs_bitrate->text(), QString("40 Mbit/s  (40000000)"));
    EXPECT_EQ(dialog.tl_brs_sample_point->text(), QString("80 %"));
    EXPECT_EQ(dialog.brs_clock(), 200000000);

    // 125 kbit/s has no timing within a CAN FD controller's limits at 160 or 200 MHz.
    dialog.rb_125kb->click();
    EXPECT_FALSE(dialog.pb_ok->isEnabled());
    choose(dialog.cb_brs_clock, "160MHz");
    EXPECT_FALSE(dialog.pb_ok->isEnabled());
    choose(dialog.cb_brs_clock, "40MHz");
    EXPECT_TRUE(dialog.pb_ok->isEnabled());
    EXPECT_EQ(dialog.l_bitrate->text(), QString("125000"));

    // A stored data-phase timing that the lists do not offer is kept, not
    // replaced by the items that happen to be current.
    dialog.set_brs_timing(true, 80000000, 4, 10, 5, 6);
    EXPECT_EQ(dialog.brs_clock(), 80000000);
    EXPECT_EQ(dialog.brs_prescaler(), 4);
    EXPECT_EQ(dialog.brs_tseg1(), 10);
    EXPECT_EQ(dialog.brs_tseg2(), 5);
    EXPECT_EQ(dialog.brs_sjw(), 6);
    EXPECT_EQ(dialog.tl_brs_bitrate->text(), QString("1250 kbit/s  (1250000)"));

    dialog.cb_canfd_enable->click();
    EXPECT_EQ(dialog.cb_sjw->count(), 4);
    EXPECT_EQ(dialog.clock(), VyrDialogCANBitrate::classic_clock);
    EXPECT_TRUE(dialog.rb_chip_params->isEnabled());
    EXPECT_EQ(dialog.tl_brs_bitrate->text(), QString(" --- "));
}

TEST(CanBitrateDialog, TypedRegistersKeepTheirSplit)
{
    ActiveDialog active;
    VyrDialogCANBitrate &dialog = active.dialog;
    dialog.rb_chip_params->click();
    EXPECT_FALSE(dialog.rb_bus_params->isChecked());
    EXPECT_FALSE(dialog.gb_bitrate->isEnabled());
    EXPECT_FALSE(dialog.gb_canfd->isEnabled());
    const struct
    {
        const char *btr0, *btr1;
        QStringList shown;
        bool valid;
    } cases[] = {
        {"00", "1c", {"500000", "13", "2", "1"}, true}, {"01", "1c", {"250000", "13", "2", "2"}, true},
        {"03", "1c", {"125000", "13", "2", "4"}, true}, {"", "1c", {"0", "0", "0", "0"}, false},
        {"03", "", {"0", "0", "0", "0"}, false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(testing::Message() << c.btr0 << "/" << c.btr1);
        dialog.le_btr0->setText(c.btr0);
        dialog.le_btr1->setText(c.btr1);
        EXPECT_EQ(results(dialog), c.shown);
        EXPECT_EQ(dialog.pb_ok->isEnabled(), c.valid);
    }
    dialog.le_btr0->setText("41");
    dialog.le_btr1->setText("9c");
    EXPECT_EQ(dialog.sjw(), 2);
    EXPECT_EQ(dialog.samples(), 3);
    EXPECT_TRUE(dialog.rb_sam3->isChecked());
    EXPECT_EQ(dialog.bitrate(), 250000);
    EXPECT_EQ(dialog.tseg1(), 13);
    EXPECT_EQ(dialog.tseg2(), 2);
    EXPECT_EQ(dialog.rb_250kb->isChecked(), true);

    // Back on the bus parameters the typed timing stands and is written back.
    dialog.rb_bus_params->click();
    EXPECT_TRUE(dialog.pb_ok->isEnabled());
    EXPECT_EQ(dialog.le_btr0->text(), QString("41"));
    EXPECT_EQ(dialog.le_btr1->text(), QString("9c"));
}

TEST(CanBitrateDialog, FiltersExtendPassAndFollowTheirPattern)
{
    ActiveDialog active;
    VyrDialogCANBitrate &dialog = active.dialog;
    VyrAcceptanceFilter standard(false);
    standard.block_all = true;
    VyrAcceptanceFilter extended(true);
    dialog.set_filters(&standard, &extended);
    EXPECT_FALSE(dialog.le_std_code->isEnabled());
    EXPECT_TRUE(dialog.pb_std_extend->isEnabled());
    EXPECT_FALSE(dialog.pb_ext_extend->isEnabled()); // with a zero mask every identifier passes already

    auto extend = [&](QPushButton *button, int id) {
        form_test::when_modal([id](QWidget *modal) {
            auto *input = qobject_cast<QInputDialog *>(modal);
            ASSERT_NE(input, nullptr);
            EXPECT_EQ(input->windowTitle(), QString("Extend Filter by Id"));
            input->setIntValue(id);
            input->accept();
        });
        button->click();
    };
    extend(dialog.pb_std_extend, 0x123);
    EXPECT_FALSE(dialog.cb_std_block_all->isChecked());
    EXPECT_EQ(dialog.le_std_code->text(), QString("123"));
    EXPECT_EQ(dialog.le_std_mask->text(), QString("7ff"));
    EXPECT_EQ(dialog.le_std_bits->text(), QString("001 0010 0011"));
    extend(dialog.pb_std_extend, 0x124);
    EXPECT_EQ(dialog.le_std_code->text(), QString("120"));
    EXPECT_EQ(dialog.le_std_mask->text(), QString("7f8"));
    EXPECT_EQ(dialog.le_std_bits->text(), QString("001 0010 0xxx"));

    // Typing the pattern writes code and mask; typing a mask writes the pattern.
    dialog.show();
    dialog.tab_settings->setCurrentWidget(dialog.tab_global_filters);
    dialog.le_ext_bits->setFocus();
    dialog.le_ext_bits->setCursorPosition(0);
    QTest::keyClicks(dialog.le_ext_bits, "1");
    EXPECT_EQ(dialog.le_ext_code->text(), QString("10000000"));
    EXPECT_EQ(dialog.le_ext_mask->text(), QString("10000000"));
    dialog.le_ext_mask->setText("10000001");
    EXPECT_EQ(dialog.le_ext_bits->text(), QString("1 xxxx xxxx xxxx xxxx xxxx xxxx xxx0"));

    // An empty code or mask would open the filter: no OK while one is empty.
    dialog.le_std_mask->clear();
    EXPECT_FALSE(dialog.pb_ok->isEnabled());
    dialog.pb_std_pass_all->click();
    EXPECT_TRUE(dialog.pb_ok->isEnabled());
    EXPECT_EQ(dialog.le_std_code->text(), QString("0"));
    EXPECT_EQ(dialog.le_std_bits->text(), QString("xxx xxxx xxxx"));

    VyrAcceptanceFilter std_out(false);
    VyrAcceptanceFilter ext_out(true);
    ext_out.active = false;
    dialog.get_filters(std_out, ext_out);
    EXPECT_EQ(std_out.code, 0u);
    EXPECT_EQ(std_out.mask, 0u);
    EXPECT_EQ(ext_out.code, 0x10000000u);
    EXPECT_EQ(ext_out.mask, 0x10000001u);
    EXPECT_FALSE(ext_out.active); // left as the caller set it
    // Digits beyond the identifier's width are not stored.
    dialog.le_std_mask->setText("fff");
    dialog.le_ext_code->setText("ffffffff");
    dialog.get_filters(std_out, ext_out);
    EXPECT_EQ(std_out.mask, 0x7FFu);
    EXPECT_EQ(ext_out.code, 0x1FFFFFFFu);
}

TEST(CanBitrateDialog, ChannelsPartnersAndTheFirstInterfaceOfAChannel)
{
    VyrCanIf first("CAN", nullptr, nullptr);
    first.set_channel_name("Bench channel");
    first.set_bit_timing(250000, 13, 2, 2, 1);
    VyrCanIf second("CAN", nullptr, nullptr);
    second.set_channel_name("Bench channel");

    VyrDialogCANBitrate dialog;
    dialog.set_active(true);
    // A configured channel that is not plugged in stays selected, with its user name.
    dialog.select_channel("Bench channel", "left bench");
    QString user_name;
    EXPECT_EQ(dialog.channel(user_name), QString("Bench channel"));
    EXPECT_EQ(user_name, QString("left bench"));
    dialog.set_interface(&second);
    EXPECT_FALSE(dialog.primary());
    EXPECT_EQ(dialog.bitrate(), 250000);
    EXPECT_EQ(dialog.tseg1(), 13);
    EXPECT_EQ(dialog.tseg2(), 2);
    EXPECT_EQ(dialog.sjw(), 2);
    EXPECT_TRUE(dialog.rb_250kb->isChecked());
    EXPECT_FALSE(dialog.rb_bus_params->isEnabled());
    EXPECT_FALSE(dialog.gb_bitrate->isEnabled());
    EXPECT_FALSE(dialog.rb_chip_params->isEnabled());

    EXPECT_EQ(items(dialog.combo_connect_channel_list), QStringList({QString::fromStdString(first.name())}));
    dialog.set_connect_to(QString::fromStdString(first.make_id()));
    EXPECT_TRUE(dialog.cb_connect_to_can_channel->isChecked());
    EXPECT_EQ(dialog.connect_to(), QString::fromStdString(first.make_id()));
    EXPECT_FALSE(dialog.lb_candb_files->isEnabled()); // the partner's databases and script serve
    dialog.cb_connect_to_can_channel->click();
    EXPECT_EQ(dialog.connect_to(), QString());

    dialog.set_interface(&first);
    EXPECT_TRUE(dialog.primary());
    EXPECT_TRUE(dialog.gb_bitrate->isEnabled());
}

TEST(CanBitrateDialog, ConfigureTakesBackWhatTheUserChose)
{
    set_can_settings_dialog_factory(nullptr);
    VyrCanIf can("CAN", nullptr, nullptr);
    can.set_active(false);
    EXPECT_FALSE(can.configure(nullptr)); // no dialog installed: nothing changes
    install_interface_dialogs();

    QTemporaryDir dir;
    const QString dbc = dir.filePath("body.dbc");
    {
        QFile file(dbc);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("VERSION \"\"\nBS_:\nBU_: A\nBO_ 256 Doors: 8 A\n SG_ Front : 0|8@1+ (1,0) [0|255] \"\" A\n");
    }
    const QString missing = dir.filePath("missing.dbc");
    QStringList asked;
    set_interface_file_chooser([&](QWidget *, const QString &caption, const QString &, const QString &filter) {
        asked << caption + " | " + filter;
        return asked.size() == 1 ? missing : dbc;
    });

    // Cancel keeps everything.
    form_test::when_modal([](QWidget *modal) {
        auto *dialog = qobject_cast<VyrDialogCANBitrate *>(modal);
        ASSERT_NE(dialog, nullptr);
        dialog->cb_activate->click();
        dialog->pb_cancel->click();
    });
    EXPECT_FALSE(can.configure(nullptr));
    EXPECT_FALSE(can.active());

    const QString title = QString::fromStdString("CAN Interface Configuration - " + can.name());
    form_test::when_modal([title](QWidget *modal) {
        auto *dialog = qobject_cast<VyrDialogCANBitrate *>(modal);
        ASSERT_NE(dialog, nullptr);
        EXPECT_EQ(dialog->windowTitle(), title);
        EXPECT_EQ(dialog->objectName(), QString("CANBitrate"));
        dialog->cb_activate->click();
        dialog->rb_125kb->click();
        dialog->rb_silent_mode->click();
        // A file that cannot be read is refused with a message box.
        form_test::when_modal([](QWidget *box) {
            EXPECT_EQ(box->windowTitle(), QString("Error"));
            QTest::keyClick(box, Qt::Key_Enter);
        });
        dialog->pb_select_candb->click();
        EXPECT_EQ(dialog->database_file_count(), 0);
        dialog->pb_select_candb->click();
        EXPECT_EQ(dialog->database_file_count(), 1);
        dialog->cb_canfd_mode->setCurrentIndex(1);
        dialog->le_std_code->setText("100");
        dialog->le_std_mask->setText("700");
        dialog->pb_ok->click();
    });
    EXPECT_TRUE(can.configure(nullptr));
    EXPECT_TRUE(can.active());
    EXPECT_EQ(can.bitrate(), 125000);
    EXPECT_EQ(can.tseg1(), 11);
    EXPECT_EQ(can.tseg2(), 4);
    EXPECT_TRUE(can.silent_mode());
    EXPECT_EQ(can.canfd_mode(), 1);
    EXPECT_EQ(can.filter_std().code, 0x100u);
    EXPECT_EQ(can.filter_std().mask, 0x700u);
    ASSERT_EQ(can.database_files().size(), 1);
    EXPECT_TRUE(can.database_files().front().endsWith("body.dbc"));
    EXPECT_NE(can.databases(), nullptr);
    ASSERT_EQ(asked.size(), 2);
    EXPECT_EQ(asked.front().toStdString(), "Select CAN Description File | CAN Description Files (*.dbc *.ldf *.fibex)");

    // Accepting the same settings again changes nothing.
    form_test::when_modal([](QWidget *modal) { qobject_cast<VyrDialogCANBitrate *>(modal)->pb_ok->click(); });
    EXPECT_FALSE(can.configure(nullptr));
    EXPECT_EQ(can.bitrate(), 125000);
    set_interface_file_chooser({});
}

TEST(CanBitrateDialog, PathMenusEditAndRewriteThePaths)
{
    VyrDialogCANBitrate dialog;
    dialog.set_active(true);
    QStringList started;
    set_program_starter([&](const QString &program, const QStringList &arguments, const QString &) {
        started << program.section('/', -1) + " " + arguments.join(' ');
        return false; // as when the editor is absent: nothing happens
    });
    const QString absolute = QDir::current().absoluteFilePath("scripts/body.vys");
    dialog.show_script_file("scripts/body.vys");
    std::unique_ptr<QMenu> menu(dialog.make_script_menu());
    auto action = [&menu](const char *name) { return menu->findChild<QAction *>(name); };
    EXPECT_FALSE(action("action_relative")->isEnabled());
    ASSERT_TRUE(action("action_absolute")->isEnabled());
    action("action_edit")->trigger();
    action("action_absolute")->trigger();
    EXPECT_EQ(dialog.script_file(), absolute);
    menu.reset(dialog.make_script_menu());
    EXPECT_FALSE(action("action_absolute")->isEnabled());
    action("action_relative")->trigger();
    EXPECT_EQ(dialog.script_file(), QString("scripts/body.vys"));

    dialog.add_database_file("a.dbc");
    dialog.add_database_file("b.dbc");
    dialog.lb_candb_files->setCurrentRow(0);
    menu.reset(dialog.make_candb_menu());
    action("action_edit")->trigger();
    action("action_remove")->trigger();
    EXPECT_EQ(dialog.database_file_count(), 1);
    EXPECT_EQ(dialog.database_file(0), QString("b.dbc"));
    EXPECT_EQ(dialog.database_file(1), QString());
    dialog.lb_candb_files->setCurrentItem(nullptr);
    menu.reset(dialog.make_candb_menu());
    EXPECT_FALSE(action("action_remove")->isEnabled()); // no current item
    action("action_clear")->trigger();
    EXPECT_EQ(dialog.database_file_count(), 0);

    EXPECT_EQ(started, QStringList({"dax " + absolute, "quillan " + QDir::current().absoluteFilePath("a.dbc")}));
    set_program_starter({});
}
