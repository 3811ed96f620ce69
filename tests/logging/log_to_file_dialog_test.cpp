// The log-to-file dialog driven through its widgets: loading and applying a
// LogFile, enabling by the switches, switching the format, Cancel and the
// file dialog with its unwritable-path message.
#include "core/vyr_trigger.h"
#include "test_paths.h"
#include "windows/logging/log_file.h"
#include "windows/logging/vyr_dialog_log_to_file.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QGroupBox>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <memory>

namespace {

// A second writable format, so that the dialog has a format to switch to.
class PlainLogFile : public LogFile
{
public:
    int write_message(const VyrCanMessage &, uint32_t &bytes_written) override
    {
        bytes_written = 0;
        return Success;
    }
    // Its options dialog reports a change.
    bool setup_dialog(QWidget *parent) override
    {
        setup_parent = parent;
        return true;
    }
    QWidget *setup_parent = nullptr;
};

const LogFileFormat g_plain("Plain", "test format", "test format\n", "pln", LogFileFormat::Writable,
                             [] { return std::unique_ptr<LogFile>(new PlainLogFile); });
// Readable only: never offered.
const LogFileFormat g_read_only("Replay only", "test format", "test format\n", "rpl", LogFileFormat::Readable,
                                [] { return std::unique_ptr<LogFile>(new PlainLogFile); });

QString chosen_file;
QString offered_start;
QString offered_filter;
bool writable = true;
QString error_caption;
QString error_text;

QString choose(QWidget *, const QString &start, const QString &filter)
{
    offered_start = start;
    offered_filter = filter;
    return chosen_file;
}
bool is_writable(const QString &) { return writable; }
void show_error(QWidget *, const QString &caption, const QString &text)
{
    error_caption = caption;
    error_text = text;
}

// Picks a format by the keyboard, as a user would.
void choose_format(VyrDialogLogToFile &dialog, const QString &name)
{
    QComboBox *combo = dialog.combo_format;
    const int wanted = combo->findText(name);
    ASSERT_GE(wanted, 0);
    combo->setFocus();
    while (combo->currentIndex() != wanted)
        QTest::keyClick(combo, combo->currentIndex() < wanted ? Qt::Key_Down : Qt::Key_Up);
}

class LogToFileDialogTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        VyrDialogLogToFile::desktop() = {choose, is_writable, show_error};
        error_caption.clear();
        error_text.clear();
        writable = true;
        VyrTriggerList::set_instance(&triggers);
        new VyrTrigger(&triggers, QStringLiteral("Start"));
        new VyrTrigger(&triggers, QStringLiteral("Stop"));
        ascii = LogFileFormat::create("ASCII");
        ascii->set_file_name("trace.txt");
        ascii->set_active(true);
        ascii->set_write_mode(LogFile::Overwrite);
        ascii->set_size_mode(LogFile::LimitBytes);
        ascii->set_max_bytes(5000000);
        ascii->set_max_messages(777);
        ascii->set_max_pretrigger_messages(3000);
    }
    void TearDown() override { VyrTriggerList::set_instance(nullptr); }

    VyrTriggerList triggers;
    std::unique_ptr<LogFile> ascii;
};

TEST_F(LogToFileDialogTest, OffersWritableFormatsAndShowsTheLoadedFile)
{
    VyrDialogLogToFile dialog;
    QStringList formats;
    for (int i = 0; i < dialog.combo_format->count(); ++i)
        formats << dialog.combo_format->itemText(i);
    formats.sort();
    EXPECT_EQ(formats, QStringList({"ASCII", "ASCII (Vector)", "Binary (mdf)", "Plain", "VYR-BINARY"}));
    EXPECT_EQ(dialog.combo_trigger_name->count(), 2);

    dialog.load(ascii.get());
    dialog.polish();
    EXPECT_EQ(dialog.current(), ascii.get());
    EXPECT_EQ(dialog.le_logfile_name->text(), "trace.txt");
    EXPECT_TRUE(dialog.rb_overwrite->isChecked());
    EXPECT_TRUE(dialog.rb_max_size->isChecked());
    EXPECT_EQ(dialog.cb_max_size->currentText(), "5 MByte");
    EXPECT_TRUE(dialog.cb_max_size->isEnabled());
    EXPECT_FALSE(dialog.cb_max_messages->isEnabled());
    EXPECT_EQ(dialog.cb_max_messages->currentText(), "777");
    EXPECT_EQ(dialog.combo_pre_trigger->currentText(), "3000");
    EXPECT_FALSE(dialog.has_changed());

    // The limits of the typed numbers.
    int at = 0;
    QString too_many = "100000001";
    EXPECT_NE(dialog.cb_max_messages->validator()->validate(too_many, at), QValidator::Acceptable);
    QString pretrigger = "50001";
    EXPECT_NE(dialog.combo_pre_trigger->validator()->validate(pretrigger, at), QValidator::Acceptable);
}

TEST_F(LogToFileDialogTest, EnablingFollowsTheSwitches)
{
    VyrDialogLogToFile dialog;
    dialog.load(ascii.get());
    dialog.show();
    QWidget *const follow_active[] = {dialog.combo_format, dialog.pb_popup_logfile, dialog.pb_select_logfile,
                                      dialog.bg_write_mode, dialog.bg_max_size, dialog.le_logfile_name,
                                      dialog.cb_delete_empty_files, dialog.cb_enable_trigger, dialog.pb_setup};
    for (QWidget *widget : follow_active)
        EXPECT_TRUE(widget->isEnabled()) << widget->objectName().toStdString();
    EXPECT_FALSE(dialog.combo_trigger_name->isEnabled());

    dialog.cb_enable_trigger->click();
    EXPECT_TRUE(dialog.combo_trigger_name->isEnabled());
    EXPECT_TRUE(dialog.combo_pre_trigger->isEnabled());

    // An empty file name blocks OK only while logging is on.
    dialog.le_logfile_name->clear();
    EXPECT_FALSE(dialog.pb_ok->isEnabled());
    dialog.cb_enable_logging->click();
    EXPECT_TRUE(dialog.pb_ok->isEnabled());
    for (QWidget *widget : follow_active)
        EXPECT_FALSE(widget->isEnabled()) << widget->objectName().toStdString();
    EXPECT_FALSE(dialog.combo_trigger_name->isEnabled());
    EXPECT_FALSE(dialog.combo_pre_trigger->isEnabled());
    EXPECT_TRUE(dialog.pb_help->isEnabled());
    EXPECT_TRUE(dialog.cb_enable_logging->isEnabled());
}

TEST_F(LogToFileDialogTest, ApplyWritesTheControlsBack)
{
    ascii->set_max_bytes(1234); // no entry: shown as the first, stored back as it
    VyrDialogLogToFile dialog;
    dialog.load(ascii.get());
    EXPECT_EQ(dialog.cb_max_size->currentIndex(), 0);
    dialog.rb_increment_filename->click();
    dialog.cb_delete_empty_files->click();
    dialog.cb_enable_trigger->click();
    dialog.combo_trigger_name->setCurrentText("Stop");
    dialog.combo_pre_trigger->setCurrentText("250");

    EXPECT_EQ(dialog.apply(), ascii.get());
    EXPECT_FALSE(dialog.has_changed());
    EXPECT_EQ(ascii->max_bytes(), 100000u);
    EXPECT_EQ(ascii->write_mode(), LogFile::Numbered);
    EXPECT_EQ(ascii->size_mode(), LogFile::LimitBytes);
    EXPECT_TRUE(ascii->delete_empty_files());
    EXPECT_TRUE(ascii->enable_trigger());
    EXPECT_EQ(ascii->trigger_name(), "Stop");
    EXPECT_EQ(ascii->max_pretrigger_messages(), 250u);
    EXPECT_EQ(ascii->max_messages(), 777u);
}

TEST_F(LogToFileDialogTest, SwitchingFormatMakesANewLogFileAndCancelDropsIt)
{
    VyrDialogLogToFile dialog;
    dialog.load(ascii.get());
    dialog.show();
    choose_format(dialog, "Plain");
    LogFile *plain = dialog.current();
    ASSERT_NE(plain, ascii.get());
    EXPECT_EQ(plain->format()->name(), "Plain");
    EXPECT_EQ(dialog.le_logfile_name->text(), "trace.pln");
    EXPECT_TRUE(dialog.has_changed());
    EXPECT_FALSE(dialog.pb_setup->isEnabled()); // the format has no options

    // Back to ASCII: yet another object, the loaded one stays untouched.
    choose_format(dialog, "ASCII");
    EXPECT_EQ(dialog.le_logfile_name->text(), "trace.txt");
    ASSERT_NE(dialog.current(), ascii.get());
    EXPECT_EQ(dialog.current()->format()->name(), "ASCII");

    dialog.pbutton_cancel->click();
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
    EXPECT_EQ(dialog.current(), ascii.get());
    EXPECT_EQ(ascii->file_name(), "trace.txt");
    EXPECT_EQ(ascii->write_mode(), LogFile::Overwrite);
}

TEST_F(LogToFileDialogTest, BinaryMdfAndVectorFormatsTakeTheirExtensionsAndOptions)
{
    VyrDialogLogToFile dialog;
    dialog.load(ascii.get());
    dialog.show();
    const struct
    {
        const char *format, *file;
        bool setup;
    } cases[] = {
        {"VYR-BINARY", "trace.wbl", false},
        {"Binary (mdf)", "trace.log", false},
        {"ASCII (Vector)", "trace.asc", true},
    };
    for (const auto &c : cases) {
        choose_format(dialog, c.format);
        EXPECT_EQ(dialog.current()->format()->name(), c.format);
        EXPECT_EQ(dialog.le_logfile_name->text(), c.file);
        EXPECT_EQ(dialog.pb_setup->isEnabled(), c.setup) << c.format;
    }
}

TEST_F(LogToFileDialogTest, AcceptedNewFormatIsHandedOver)
{
    std::unique_ptr<LogFile> kept;
    {
        VyrDialogLogToFile dialog;
        dialog.load(ascii.get());
        choose_format(dialog, "Plain");
        kept.reset(dialog.apply());
        EXPECT_TRUE(dialog.has_changed());
    }
    ASSERT_NE(kept.get(), ascii.get());
    EXPECT_EQ(kept->file_name(), "trace.pln");
    EXPECT_TRUE(kept->active());
}

TEST_F(LogToFileDialogTest, NothingLoadedMakesALogFileOfTheChosenFormat)
{
    VyrDialogLogToFile dialog;
    dialog.load(nullptr);
    dialog.show();
    ASSERT_NE(dialog.current(), nullptr);
    EXPECT_EQ(QString::fromStdString(dialog.current()->format()->name()), dialog.combo_format->currentText());
    EXPECT_TRUE(dialog.has_changed());
    std::unique_ptr<LogFile> kept(dialog.apply());
    EXPECT_EQ(kept.get(), dialog.current());
}

TEST_F(LogToFileDialogTest, FileDialogAppendsTheExtensionAndRefusesUnwritableFiles)
{
    VyrDialogLogToFile dialog;
    dialog.load(ascii.get());
    dialog.show();

    chosen_file = "/tmp/capture";
    dialog.pb_select_logfile->click();
    EXPECT_EQ(offered_start, "trace.txt");
    EXPECT_EQ(offered_filter, "*.txt");
    EXPECT_EQ(dialog.le_logfile_name->text(), "/tmp/capture.txt");

    chosen_file = "/tmp/CAPTURE2.TXT";
    dialog.pb_select_logfile->click();
    EXPECT_EQ(dialog.le_logfile_name->text(), "/tmp/CAPTURE2.TXT");

    // An existing file that cannot be written: the message, and no change.
    chosen_file = vyr_test::source_dir() + "/tests/logging/log_to_file_dialog_test.cpp";
    writable = false;
    dialog.pb_select_logfile->click();
    EXPECT_EQ(error_caption, "Error");
    EXPECT_EQ(error_text,
              QString("Unable to open file '%1' for writing! Is the target path writable?").arg(chosen_file));
    EXPECT_EQ(dialog.le_logfile_name->text(), "/tmp/CAPTURE2.TXT");

    // Cancelled: nothing changes.
    chosen_file.clear();
    dialog.pb_select_logfile->click();
    EXPECT_EQ(dialog.le_logfile_name->text(), "/tmp/CAPTURE2.TXT");
}

// Opens the file name's menu, notes which entries are enabled and picks one
// (none: closes it).
QStringList use_context_menu(VyrDialogLogToFile &dialog, const QString &pick)
{
    QStringList enabled;
    QTimer::singleShot(0, [&] {
        auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
        ASSERT_NE(menu, nullptr);
        QAction *picked = nullptr;
        for (QAction *action : menu->actions()) {
            if (action->isEnabled() && !action->isSeparator())
                enabled << action->text();
            if (action->text() == pick)
                picked = action;
        }
        if (picked)
            picked->trigger();
        menu->close();
    });
    dialog.pb_popup_logfile->click();
    return enabled;
}

TEST_F(LogToFileDialogTest, ContextMenuRewritesTheFileName)
{
    VyrDialogLogToFile dialog;
    dialog.load(ascii.get());
    dialog.show();
    EXPECT_EQ(use_context_menu(dialog, "Make absolute path"),
              QStringList({"Clear", "Copy Selected Text to Clipboard", "Make absolute path"}));
    const QString absolute = QDir::current().absoluteFilePath("trace.txt");
    EXPECT_EQ(dialog.le_logfile_name->text(), absolute);

    EXPECT_EQ(use_context_menu(dialog, "Make relative path"),
              QStringList({"Clear", "Copy Selected Text to Clipboard", "Make relative path"}));
    EXPECT_EQ(dialog.le_logfile_name->text(), "trace.txt");

    dialog.le_logfile_name->selectAll();
    use_context_menu(dialog, "Copy Selected Text to Clipboard");
    EXPECT_EQ(QApplication::clipboard()->text(), "trace.txt");

    use_context_menu(dialog, "Clear");
    EXPECT_TRUE(dialog.le_logfile_name->text().isEmpty());
    EXPECT_EQ(use_context_menu(dialog, QString()), QStringList({"Copy Selected Text to Clipboard"}));
}

TEST_F(LogToFileDialogTest, ChangedOptionsCountAsAChange)
{
    std::unique_ptr<LogFile> plain = LogFileFormat::create("Plain");
    VyrDialogLogToFile dialog;
    dialog.load(plain.get());
    EXPECT_FALSE(dialog.has_changed());
    dialog.open_setup_dialog();
    EXPECT_EQ(static_cast<PlainLogFile *>(plain.get())->setup_parent, &dialog);
    EXPECT_TRUE(dialog.has_changed());
    EXPECT_EQ(dialog.current(), plain.get());
}

TEST_F(LogToFileDialogTest, HelpAsksForItsPage)
{
    VyrDialogLogToFile dialog;
    QSignalSpy help(&dialog, &VyrDialogLogToFile::activate_help_context);
    dialog.pb_help->click();
    ASSERT_EQ(help.count(), 1);
    EXPECT_EQ(help.at(0).at(0).toString(), "CanLog");
}

TEST_F(LogToFileDialogTest, RendersAsAUserSeesIt)
{
    VyrDialogLogToFile dialog;
    dialog.load(ascii.get());
    dialog.show();
    const QString path = QDir::tempPath() + QStringLiteral("/vyr_log_to_file_dialog.png");
    ASSERT_TRUE(dialog.grab().save(path));
}

} // namespace
