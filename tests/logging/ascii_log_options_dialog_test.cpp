#include "forms/dialog_log_to_file_ascii_parameters.h"
#include "windows/logging/ascii_log_file.h"
#include "windows/logging/ascii_parameters_dialog.h"

#include <QApplication>
#include <QCheckBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <gtest/gtest.h>

#include <functional>
#include <vector>

namespace {

struct Options
{
    int time_format;
    bool data_hex;
    bool id_hex;
    bool abs_time;
    bool use_candb;
    bool operator==(const Options &other) const
    {
        return time_format == other.time_format && data_hex == other.data_hex && id_hex == other.id_hex &&
               abs_time == other.abs_time && use_candb == other.use_candb;
    }
};

void set_options(AsciiLogFile &log, const Options &options)
{
    log.set_time_format(options.time_format);
    log.set_data_hex(options.data_hex);
    log.set_id_hex(options.id_hex);
    log.set_abs_time(options.abs_time);
    log.set_use_candb_for_id(options.use_candb);
}

Options options_of(const AsciiLogFile &log)
{
    return {log.time_format(), log.data_hex(), log.id_hex(), log.abs_time(), log.use_candb_for_id()};
}

// What the test factory saw of each request.
bool requested_combined = true;
QWidget *requested_parent = nullptr;

DialogLogToFileAsciiParameters *plain_form(bool combined, QWidget *parent)
{
    requested_combined = combined;
    requested_parent = parent;
    return new DialogLogToFileAsciiParameters(parent, nullptr, true);
}

// The options that the dialog's buttons show.
Options shown_options(DialogLogToFileAsciiParameters *dialog)
{
    EXPECT_NE(dialog->rb_time_hhmmss_msec->isChecked(), dialog->rb_time_sec_msec->isChecked());
    EXPECT_NE(dialog->rb_data_hex->isChecked(), dialog->rb_data_dec->isChecked());
    EXPECT_NE(dialog->rb_id_hex->isChecked(), dialog->rb_id_dec->isChecked());
    EXPECT_NE(dialog->rb_abs_time->isChecked(), dialog->rb_rel_time->isChecked());
    return {dialog->rb_time_hhmmss_msec->isChecked() ? 1 : 0, dialog->rb_data_hex->isChecked(),
            dialog->rb_id_hex->isChecked(), dialog->rb_abs_time->isChecked(), dialog->cb_candb->isChecked()};
}

} // namespace

TEST(AsciiLogFileSetupDialog, WithoutTheShellsDialogNothingOpensAndNothingChanges)
{
    set_ascii_parameters_dialog_factory(nullptr);
    AsciiLogFile log;
    const Options before = options_of(log);
    EXPECT_FALSE(log.setup_dialog(nullptr));
    EXPECT_EQ(options_of(log), before);
}

TEST(AsciiLogFileSetupDialog, ShowsTheOptionsAndTakesBackWhatTheUserAccepted)
{
    set_ascii_parameters_dialog_factory(&plain_form);
    const Options all_on{AsciiLogFile::HoursMinutesSeconds, true, true, true, true};
    const Options all_off{AsciiLogFile::Seconds, false, false, false, false};
    // Each row: the options before, the buttons the user clicks, OK or
    // Cancel, the options after and the result.
    const struct
    {
        Options before;
        std::vector<const char *> clicks;
        bool accept;
        Options after;
        bool changed;
    } cases[] = {
        {all_on, {}, true, all_on, false},
        {all_off, {}, true, all_off, false},
        {all_on, {"rb_time_sec_msec"}, true, {AsciiLogFile::Seconds, true, true, true, true}, true},
        {all_on, {"rb_data_dec"}, true, {AsciiLogFile::HoursMinutesSeconds, false, true, true, true}, true},
        {all_off, {"rb_id_hex", "cb_candb"}, true, {AsciiLogFile::Seconds, false, true, false, true}, true},
        {all_off, {"rb_abs_time"}, true, {AsciiLogFile::Seconds, false, false, true, false}, true},
        {all_off, {"rb_time_hhmmss_msec", "rb_data_hex", "rb_id_hex", "rb_abs_time", "cb_candb"}, true, all_on, true},
        // Changed there and back: no change.
        {all_on, {"cb_candb", "cb_candb"}, true, all_on, false},
        {all_on, {"rb_data_dec", "rb_id_dec"}, false, all_on, false},
    };
    for (const auto &row : cases) {
        AsciiLogFile log;
        set_options(log, row.before);
        QWidget parent;
        requested_parent = nullptr;
        bool shown = false;
        QTimer::singleShot(0, [&] {
            auto *dialog = qobject_cast<DialogLogToFileAsciiParameters *>(QApplication::activeModalWidget());
            ASSERT_NE(dialog, nullptr);
            EXPECT_EQ(shown_options(dialog), row.before);
            for (const char *name : row.clicks)
                dialog->findChild<QAbstractButton *>(name)->click();
            shown = true;
            (row.accept ? dialog->pb_ok : dialog->pb_cancel)->click();
        });
        EXPECT_EQ(log.setup_dialog(&parent), row.changed);
        EXPECT_TRUE(shown);
        EXPECT_EQ(options_of(log), row.after);
        EXPECT_FALSE(requested_combined);
        EXPECT_EQ(requested_parent, &parent);
        // The dialog is gone with the run.
        EXPECT_TRUE(parent.findChildren<QDialog *>().isEmpty());
    }
}
