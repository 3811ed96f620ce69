#include "forms/dialog_log_to_file_ascii_parameters.h"
#include "forms/dialog_log_to_file_base.h"
#include "app/vyr_dialog_log_to_file_ascii_parameters.h"
#include "tests/app/form_test_support.h"
#include "windows/logging/ascii_log_file.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTest>
#include <gtest/gtest.h>

namespace {

// The creation order, which the keyboard focus follows.
const QStringList log_to_file_focus_order = {
    "TabWidget2", "tab", "cb_enable_logging", "Line2", "le_logfile_name", "combo_format", "TextLabel1_2",
    "pb_popup_logfile", "cb_delete_empty_files", "TextLabel1", "pb_setup", "pb_select_logfile", "tab_2",
    "bg_write_mode", "rb_append", "rb_overwrite", "rb_increment_filename", "bg_max_size", "cb_max_size",
    "rb_no_limit", "rb_max_messages", "rb_max_size", "cb_max_messages", "tab_3", "cb_enable_trigger", "TextLabel2",
    "TextLabel1_3", "combo_pre_trigger", "combo_trigger_name", "pb_ok", "pbutton_cancel", "pb_help"};

const QStringList ascii_parameters_focus_order = {
    "ButtonGroup3", "rb_data_hex", "rb_data_dec", "bg_id_format", "rb_id_hex", "rb_id_dec", "cb_candb",
    "ButtonGroup5", "rb_time_sec_msec", "rb_time_hhmmss_msec", "ButtonGroup4", "rb_abs_time", "rb_rel_time",
    "pb_ok", "pb_cancel", "pb_help"};

// Row and column span of a widget in the grid layout that holds it.
QRect cell_of(QGridLayout *grid, QWidget *widget)
{
    int row = -1, column = -1, rows = 0, columns = 0;
    const int index = grid->indexOf(widget);
    if (index >= 0)
        grid->getItemPosition(index, &row, &column, &rows, &columns);
    return QRect(column, row, columns, rows);
}

} // namespace

TEST(DialogLogToFileBase, TextsItemsAndLayout)
{
    DialogLogToFileBase form;
    EXPECT_EQ(form.objectName(), "DialogLogToFileBase");
    EXPECT_EQ(DialogLogToFileBase(nullptr, "log_to_file").objectName(), "log_to_file");
    EXPECT_EQ(form.windowTitle(), "Log CAN Messages to File");
    EXPECT_TRUE(form.isSizeGripEnabled());
    form_test::expect_initial_size(&form, QSize(427, 343));
    for (const char *layout : {"DialogLogToFileBaseLayout", "tabLayout", "tabLayout_2", "tabLayout_3"})
        form_test::expect_spacing(&form, layout, 11, 6);
    for (const char *layout : {"layout4", "Layout3", "Layout3_2"})
        form_test::expect_spacing(&form, layout, 0, 6);

    const form_test::TextRow rows[] = {
        {"cb_enable_logging", "Enable &Logging"},
        {"TextLabel1_2", "Output Format:"},
        {"combo_format", ""},
        {"pb_setup", "&Setup"},
        {"TextLabel1", "Filename:"},
        {"pb_select_logfile", ""},
        {"pb_popup_logfile", ""},
        {"cb_delete_empty_files", "Delete Empty Log Files"},
        {"bg_write_mode", "Write Mode"},
        {"rb_append", "&Append"},
        {"rb_overwrite", "&Overwrite"},
        {"rb_increment_filename", "&Increment Filename"},
        {"bg_max_size", "Maximum Size"},
        {"rb_no_limit", "No  &Limit"},
        {"rb_max_messages", "Maximum &Messages to Record"},
        {"cb_max_messages", "1000|5000|10000|50000|100000|500000|1000000"},
        {"rb_max_size", "Maximum &Size to Record"},
        {"cb_max_size", "100 kByte|500 kByte|1 MByte|5 MByte|10 MByte|50 MByte|100 MByte"},
        {"cb_enable_trigger", "Enable Trigger"},
        {"TextLabel1_3", "Trigger:"},
        {"combo_trigger_name", ""},
        {"TextLabel2", "Pre Trigger Events:"},
        {"combo_pre_trigger", "10|100|1000|3000|5000|10000"},
        {"pb_ok", "OK"},
        {"pbutton_cancel", "Cancel"},
        {"pb_help", "&Help"},
    };
    form_test::expect_texts(&form, rows);
    EXPECT_TRUE(form.pb_select_logfile->text().isNull());
    EXPECT_TRUE(form.pb_popup_logfile->text().isNull());
    ASSERT_EQ(form.TabWidget2->count(), 3);
    EXPECT_EQ(form.TabWidget2->widget(0), form.tab);
    EXPECT_EQ(form.TabWidget2->tabText(0), "Basic Settings");
    EXPECT_EQ(form.TabWidget2->widget(1), form.tab_2);
    EXPECT_EQ(form.TabWidget2->tabText(1), "Recording");
    EXPECT_EQ(form.TabWidget2->widget(2), form.tab_3);
    EXPECT_EQ(form.TabWidget2->tabText(2), "Trigger");

    // The grid places of the first page differ from the creation order.
    auto *layout4 = form.findChild<QGridLayout *>("layout4");
    ASSERT_NE(layout4, nullptr);
    const struct
    {
        QWidget *widget;
        QRect cell; // column, row, columns, rows
    } cells[] = {
        {form.TextLabel1_2, {0, 0, 1, 1}},      {form.combo_format, {1, 0, 1, 1}},
        {form.pb_setup, {2, 0, 2, 1}},          {form.TextLabel1, {0, 1, 1, 1}},
        {form.le_logfile_name, {1, 1, 1, 1}},   {form.pb_select_logfile, {2, 1, 1, 1}},
        {form.pb_popup_logfile, {3, 1, 1, 1}},  {form.cb_delete_empty_files, {1, 2, 1, 1}},
    };
    for (const auto &cell : cells)
        EXPECT_EQ(cell_of(layout4, cell.widget), cell.cell) << cell.widget->objectName().toStdString();
    auto *limits = qobject_cast<QGridLayout *>(form.bg_max_size->layout());
    ASSERT_NE(limits, nullptr);
    EXPECT_EQ(cell_of(limits, form.rb_max_messages), QRect(0, 1, 1, 1));
    EXPECT_EQ(cell_of(limits, form.cb_max_messages), QRect(1, 1, 1, 1));
    EXPECT_EQ(cell_of(limits, form.cb_max_size), QRect(1, 2, 1, 1));
    auto *trigger_grid = form.findChild<QGridLayout *>("Layout3");
    ASSERT_NE(trigger_grid, nullptr);
    EXPECT_EQ(cell_of(trigger_grid, form.combo_trigger_name), QRect(1, 0, 1, 1));
    EXPECT_EQ(cell_of(trigger_grid, form.combo_pre_trigger), QRect(1, 1, 1, 1));

    EXPECT_EQ(form_test::focus_order(&form, log_to_file_focus_order), log_to_file_focus_order);
}

TEST(DialogLogToFileBase, DefaultsEnabledStatesIconsAndButtons)
{
    DialogLogToFileBase form;
    EXPECT_TRUE(form.rb_no_limit->isChecked());
    EXPECT_FALSE(form.rb_max_messages->isChecked());
    EXPECT_FALSE(form.rb_max_size->isChecked());
    EXPECT_FALSE(form.cb_max_messages->isEnabled());
    EXPECT_FALSE(form.cb_max_size->isEnabled());
    EXPECT_TRUE(form.cb_max_messages->isEditable());
    EXPECT_EQ(form.cb_max_messages->currentText(), "1000");
    EXPECT_FALSE(form.cb_max_size->isEditable());
    EXPECT_EQ(form.cb_max_size->currentText(), "100 kByte");
    EXPECT_TRUE(form.combo_pre_trigger->isEditable());
    EXPECT_EQ(form.combo_pre_trigger->currentText(), "10");
    EXPECT_FALSE(form.combo_trigger_name->isEditable());
    EXPECT_FALSE(form.combo_format->isEditable());
    EXPECT_EQ(form.combo_format->count(), 0);
    EXPECT_EQ(form.combo_trigger_name->count(), 0);
    EXPECT_EQ(form.Line2->frameShape(), QFrame::HLine);
    EXPECT_EQ(form.Line2->frameShadow(), QFrame::Sunken);

    // The size limits exclude each other; the write modes only among themselves.
    form.rb_append->setChecked(true);
    form.rb_max_size->setChecked(true);
    EXPECT_FALSE(form.rb_no_limit->isChecked());
    EXPECT_TRUE(form.rb_append->isChecked());
    form.rb_overwrite->setChecked(true);
    EXPECT_FALSE(form.rb_append->isChecked());
    EXPECT_TRUE(form.rb_max_size->isChecked());

    // A triangle of 16 x 16 and a folder of 16 x 13, both drawn.
    for (const auto &[button, size] : {std::pair{form.pb_popup_logfile, QSize(16, 16)},
                                       std::pair{form.pb_select_logfile, QSize(16, 13)}}) {
        const QList<QSize> sizes = button->icon().availableSizes();
        ASSERT_EQ(sizes.size(), 1) << button->objectName().toStdString();
        EXPECT_EQ(sizes.first(), size);
        EXPECT_EQ(button->sizePolicy().horizontalPolicy(), QSizePolicy::Minimum);
        EXPECT_EQ(button->sizePolicy().verticalPolicy(), QSizePolicy::Minimum);
    }
    EXPECT_EQ(form.pb_popup_logfile->icon().pixmap(16, 16).toImage().pixelColor(8, 8), QColor(Qt::black));

    EXPECT_TRUE(form.pb_ok->isDefault());
    for (QPushButton *button : {form.pb_ok, form.pbutton_cancel, form.pb_help})
        EXPECT_TRUE(button->autoDefault()) << button->objectName().toStdString();
    EXPECT_EQ(form.pb_help->minimumSize(), QSize(80, 25));

    const QStringList texts = form_test::all_texts(&form);
    ASSERT_TRUE(QMetaObject::invokeMethod(&form, "languageChange"));
    EXPECT_EQ(form_test::all_texts(&form), texts);
    EXPECT_EQ(form.cb_max_messages->currentIndex(), 0);

    for (QPushButton *button : {form.pb_ok, form.pbutton_cancel}) {
        QTimer::singleShot(0, button, &QPushButton::click);
        EXPECT_EQ(form.exec(), button == form.pb_ok ? QDialog::Accepted : QDialog::Rejected);
    }
}

TEST(DialogLogToFileAsciiParameters, TextsGroupsAndButtons)
{
    DialogLogToFileAsciiParameters form;
    EXPECT_EQ(form.objectName(), "DialogLogToFileAsciiParameters");
    EXPECT_EQ(form.windowTitle(), "Parameters for ASCII Log to File");
    EXPECT_TRUE(form.isSizeGripEnabled());
    form_test::expect_initial_size(&form, QSize(424, 259));
    form_test::expect_spacing(&form, "DialogLogToFileAsciiParametersLayout", 11, 6);
    form_test::expect_spacing(&form, "Layout5", 0, 6);
    form_test::expect_spacing(&form, "Layout3", 0, 6);

    const form_test::TextRow rows[] = {
        {"bg_id_format", "Format of Id Field"},
        {"rb_id_hex", "Hex"},
        {"rb_id_dec", "Decimal"},
        {"cb_candb", "Use CAN Database (if available)"},
        {"ButtonGroup3", "Format Data Field"},
        {"rb_data_hex", "Hex"},
        {"rb_data_dec", "Decimal"},
        {"ButtonGroup4", "Time Stamps"},
        {"rb_abs_time", "Absolute"},
        {"rb_rel_time", "Relative"},
        {"ButtonGroup5", "Format of Time Field"},
        {"rb_time_sec_msec", "SEC.MSEC"},
        {"rb_time_hhmmss_msec", "HH:MM:SS.MSEC"},
        {"pb_ok", "OK"},
        {"pb_cancel", "Cancel"},
        {"pb_help", "&Help"},
    };
    form_test::expect_texts(&form, rows);

    // Rows 1 and 2 of the grid; row 0 stays empty.
    auto *grid = form.findChild<QGridLayout *>("Layout5");
    ASSERT_NE(grid, nullptr);
    EXPECT_EQ(cell_of(grid, form.bg_id_format), QRect(0, 1, 1, 1));
    EXPECT_EQ(cell_of(grid, form.ButtonGroup3), QRect(1, 1, 1, 1));
    EXPECT_EQ(cell_of(grid, form.ButtonGroup4), QRect(0, 2, 1, 1));
    EXPECT_EQ(cell_of(grid, form.ButtonGroup5), QRect(1, 2, 1, 1));
    EXPECT_EQ(form.cb_candb->parentWidget(), form.bg_id_format);
    EXPECT_EQ(form_test::focus_order(&form, ascii_parameters_focus_order), ascii_parameters_focus_order);

    // Each pair excludes only its partner; the check box stays apart.
    form.rb_id_hex->setChecked(true);
    form.cb_candb->setChecked(true);
    form.rb_data_dec->setChecked(true);
    form.rb_id_dec->setChecked(true);
    EXPECT_FALSE(form.rb_id_hex->isChecked());
    EXPECT_TRUE(form.cb_candb->isChecked());
    EXPECT_TRUE(form.rb_data_dec->isChecked());

    EXPECT_TRUE(form.pb_ok->isDefault());
    EXPECT_TRUE(form.pb_ok->autoDefault());
    EXPECT_TRUE(form.pb_cancel->autoDefault());
    EXPECT_FALSE(form.pb_help->autoDefault());
    EXPECT_EQ(form.pb_help->minimumWidth(), 80);
    EXPECT_TRUE(form.pb_ok->shortcut().isEmpty());
    EXPECT_TRUE(form.pb_cancel->shortcut().isEmpty());
    EXPECT_EQ(form.pb_help->shortcut(), QKeySequence(Qt::ALT | Qt::Key_H));

    const QStringList texts = form_test::all_texts(&form);
    ASSERT_TRUE(QMetaObject::invokeMethod(&form, "languageChange"));
    EXPECT_EQ(form_test::all_texts(&form), texts);

    for (QPushButton *button : {form.pb_ok, form.pb_cancel}) {
        QTimer::singleShot(0, button, &QPushButton::click);
        EXPECT_EQ(form.exec(), button == form.pb_ok ? QDialog::Accepted : QDialog::Rejected);
    }
}

TEST(VyrDialogLogToFileAsciiParameters, CombinedTitleAndAltHAsksForItsHelpPage)
{
    VyrDialogLogToFileAsciiParameters plain(false);
    EXPECT_EQ(plain.bg_id_format->title(), "Format of Id Field");
    VyrDialogLogToFileAsciiParameters combined(true, nullptr, "ascii_parameters", true);
    EXPECT_EQ(combined.bg_id_format->title(), "Format of Id and Data");
    EXPECT_EQ(combined.objectName(), "ascii_parameters");
    EXPECT_TRUE(combined.isModal());

    plain.show();
    QApplication::setActiveWindow(&plain);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&plain));
    QSignalSpy help(&plain, &VyrDialogLogToFileAsciiParameters::activate_help_context);
    QTest::keyClick(&plain, Qt::Key_H, Qt::AltModifier);
    ASSERT_TRUE(QTest::qWaitFor([&help] { return help.count() == 1; }));
    EXPECT_EQ(help.at(0).at(0).toString(), "CanLogAscii");
}

TEST(VyrDialogLogToFileAsciiParameters, TheAsciiLogFormatOpensItPlainOnceTheShellInstalledIt)
{
    install_ascii_parameters_dialog();
    AsciiLogFile log;
    QWidget parent;
    bool shown = false;
    form_test::when_modal([&](QWidget *modal) {
        auto *dialog = qobject_cast<VyrDialogLogToFileAsciiParameters *>(modal);
        ASSERT_NE(dialog, nullptr);
        EXPECT_EQ(dialog->parentWidget(), &parent);
        EXPECT_TRUE(dialog->isModal());
        EXPECT_EQ(dialog->bg_id_format->title(), "Format of Id Field");
        shown = true;
        dialog->pb_cancel->click();
    });
    EXPECT_FALSE(log.setup_dialog(&parent));
    EXPECT_TRUE(shown);
}
