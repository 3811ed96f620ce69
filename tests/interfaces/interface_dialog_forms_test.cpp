// The forms of the interface dialogs: their widgets by object name, texts,
// items, creation order, which radio buttons exclude each other, their size,
// and a second languageChange() that adds nothing. Set VYR_FORM_PNG_DIR to
// have both dialogs rendered there.
#include "forms/dialog_can_bitrate_base.h"
#include "forms/dialog_module_list_base.h"
#include "forms/vyr_bit_pattern_edit.h"
#include "interfaces/widgets/vyr_dialog_can_bitrate.h"
#include "interfaces/widgets/vyr_dialog_module_list.h"
#include "tests/app/form_test_support.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QTest>
#include <gtest/gtest.h>

using form_test::TextRow;

namespace {

void language_change_again(QWidget *form)
{
    const QStringList before = form_test::all_texts(form);
    QMetaObject::invokeMethod(form, "languageChange");
    EXPECT_EQ(form_test::all_texts(form), before);
}

void save_png(QWidget *widget, const char *name)
{
    const QByteArray dir = qgetenv("VYR_FORM_PNG_DIR");
    if (!dir.isEmpty())
        widget->grab().save(QString::fromLocal8Bit(dir) + "/" + name + ".png");
}

int grid_column_span(QWidget *widget)
{
    auto *grid = qobject_cast<QGridLayout *>(widget->parentWidget()->layout());
    int row = 0, column = 0, row_span = 0, column_span = 0;
    grid->getItemPosition(grid->indexOf(widget), &row, &column, &row_span, &column_span);
    return column_span;
}

} // namespace

TEST(CanBitrateForm, WidgetsTextsAndItems)
{
    DialogCANBitrateBase form;
    EXPECT_EQ(form.objectName(), QString("DialogCANBitrateBase"));
    EXPECT_EQ(form.windowTitle(), QString("CAN Interface Configuration"));
    form_test::expect_initial_size(&form, QSize(559, 508));
    form_test::expect_spacing(&form, "DialogCANBitrateBaseLayout", 11, 6);
    form_test::expect_spacing(&form, "tab_chip_paramLayout", 11, 6);
    ASSERT_EQ(form.tab_settings->count(), 5);
    QStringList tabs;
    for (int i = 0; i < form.tab_settings->count(); ++i)
        tabs << form.tab_settings->tabText(i) + "=" + form.tab_settings->widget(i)->objectName();
    EXPECT_EQ(tabs,
              QStringList({"Global=tab_global", "Bus Parameters=tab_bus_param", "Chip Parameters=tab_chip_param",
                           "Global Filters=tab_global_filters", "Protocol Plugin=tab_protocol_plugin"}));

    const TextRow rows[] = {
        {"cb_activate", "&Activate this CAN channel"},
        {"combo_connect_channel_list", "CAN1|CAN2|CAN3"},
        {"cb_can_channel", ""},
        {"cb_prescaler", ""},
        {"cb_sample_point", ""},
        {"cb_protocol_plugin", ""},
        {"cb_sjw", "1|2|3|4"},
        {"cb_canfd_mode", "ISO|NON-ISO"},
        {"cb_brs_clock", "16Mhz|160Mhz"},
        {"cb_brs_prescaler", "1|2|3|4"},
        {"rb_83kb", "83.333 kBit/s"},
        {"rb_other_bitrate", "Other:"},
        {"tl_mode", "Bus Driver Mode:"},
        {"rb_chip_params", "Enter Chip Parameters (or select the Bus Parameters tab)"},
        {"l_bitrate", "1000"},
        {"l_tseg1", "4"},
        {"l_tseg2", "6"},
        {"l_prescaler", "16"},
        {"l_sample_point", "0"},
        {"l_samples", "0"},
        {"l_sjw", "0"},
        {"gb_ext", "Extended Identifier (29 bit)"},
        {"pb_std_extend", "Extend by Id"},
        {"textLabel1", "Protocol Decoder Plugin:"},
        {"pb_help", "&Help"},
        {"pb_ok", "OK"},
        {"pb_popup_script", ""},
        {"pb_select_candb", ""},
    };
    form_test::expect_texts(&form, rows);
    EXPECT_EQ(form.le_std_code->text(), QString("012"));
    EXPECT_EQ(form.le_std_mask->text(), QString("012"));
    EXPECT_EQ(form.le_ext_code->text(), QString("01234567"));
    EXPECT_EQ(form.le_ext_mask->text(), QString("01234567"));
    EXPECT_FALSE(form.pb_popup_script->icon().isNull());
    EXPECT_EQ(form.pb_help->shortcut(), QKeySequence("Alt+H"));
    EXPECT_TRUE(form.pb_ok->isDefault());
    EXPECT_FALSE(form.le_std_bits->extended_id());
    EXPECT_TRUE(form.le_ext_bits->extended_id());
    EXPECT_EQ(grid_column_span(form.le_std_bits), 1);
    EXPECT_EQ(grid_column_span(form.le_ext_bits), 2);

    EXPECT_EQ(form_test::focus_order(&form,
                                     {"pb_popup_script", "rb_normal_mode", "rb_silent_mode", "pb_select_candb",
                                      "cb_can_channel", "le_script_file", "pb_select_script", "pb_popup_candb",
                                      "lb_candb_files"}),
              QStringList({"pb_popup_script", "rb_normal_mode", "rb_silent_mode", "pb_select_candb", "cb_can_channel",
                           "le_script_file", "pb_select_script", "pb_popup_candb", "lb_candb_files"}));
    language_change_again(&form);
}

TEST(CanBitrateForm, WhichRadioButtonsExcludeEachOther)
{
    DialogCANBitrateBase form;
    form.rb_1mb->click();
    form.rb_other_bitrate->click();
    EXPECT_FALSE(form.rb_1mb->isChecked());
    form.rb_125kb->click();
    EXPECT_FALSE(form.rb_other_bitrate->isChecked());
    form.rb_sam1->click();
    form.rb_sam3->click();
    EXPECT_FALSE(form.rb_sam1->isChecked());
    // The dialog keeps these pairs itself.
    form.rb_silent_mode->click();
    form.rb_normal_mode->click();
    EXPECT_TRUE(form.rb_silent_mode->isChecked());
    form.rb_bus_params->click();
    form.rb_chip_params->click();
    EXPECT_TRUE(form.rb_bus_params->isChecked());

    form_test::when_modal([](QWidget *modal) { QTest::keyClick(modal, Qt::Key_Escape); });
    EXPECT_EQ(form.exec(), QDialog::Rejected);
}

TEST(ModuleListForm, TableButtonsAndReturn)
{
    DialogModuleListBase form;
    EXPECT_EQ(form.objectName(), QString("DialogModuleListBase"));
    EXPECT_EQ(form.windowTitle(), QString("Interface List"));
    form_test::expect_initial_size(&form, QSize(659, 291));
    ASSERT_EQ(form.table_module_list->columnCount(), 4);
    EXPECT_EQ(form.table_module_list->rowCount(), 0);
    QStringList headers;
    for (int i = 0; i < 4; ++i)
        headers << form.table_module_list->horizontalHeaderItem(i)->text();
    EXPECT_EQ(headers, QStringList({"Type", "Instance", "Name", "Info"}));
    const TextRow rows[] = {
        {"pb_close", "&Close"},
        {"pb_help", "&Help"},
        {"pb_configure", "C&onfigure Interface"},
        {"pb_new", "&New Interface"},
        {"pb_delete", "&Delete Interface"},
    };
    form_test::expect_texts(&form, rows);
    EXPECT_TRUE(form.TextLabel1->text().startsWith("<p>This list displays all configured interfaces"));
    EXPECT_EQ(form_test::focus_order(
                  &form, {"pb_delete", "pb_new", "pb_close", "table_module_list", "pb_configure", "pb_help"}),
              QStringList({"table_module_list", "pb_close", "pb_help", "pb_configure", "pb_new", "pb_delete"}));
    language_change_again(&form);

    form_test::when_modal([](QWidget *modal) { QTest::keyClick(modal, Qt::Key_Return); });
    EXPECT_EQ(form.exec(), QDialog::Accepted);
}

TEST(InterfaceDialogs, RenderOnce)
{
    VyrDialogCANBitrate bitrate;
    bitrate.set_active(true);
    bitrate.rb_500kb->click();
    bitrate.show();
    save_png(&bitrate, "can_bitrate_global");
    bitrate.tab_settings->setCurrentIndex(1);
    save_png(&bitrate, "can_bitrate_bus");
    bitrate.tab_settings->setCurrentIndex(2);
    save_png(&bitrate, "can_bitrate_chip");
    bitrate.tab_settings->setCurrentIndex(3);
    save_png(&bitrate, "can_bitrate_filters");
    VyrDialogModuleList list;
    list.show();
    save_png(&list, "module_list");
    EXPECT_FALSE(bitrate.grab().isNull());
}
