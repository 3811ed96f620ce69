// The trace window on a CAN interface of the vrbus daemon with a real
// multiplexed DBC: frames of a second handle in the list, modes and formats,
// filters edited in the dialog dropping frames live, the signal table under
// the cursor against python3-canmatrix, logging to an ASCII file (closed
// on the interface thread when it stops itself), the configuration group round-tripping byte for byte, and the
// enabling rules of its buttons.
#include "../interfaces/can_test_support.h"
#include "test_paths.h"
#include "windows/trace/vyr_dialog_trace_filters.h"
#include "settings/qtb_config.h"
#include "core/vyr_trigger.h"
#include "windows/logging/log_file.h"
#include "windows/signals/vyr_can_signal_table.h"
#include "windows/trace/vyr_message_view.h"
#include "windows/trace/vyr_trace.h"
#include "windows/trace/vyr_trace_message_queue.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHeaderView>
#include <QRadioButton>
#include <QDockWidget>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QMenu>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <map>
#include <set>

namespace {

using namespace can_test;

const std::string multiplex_dbc =
    vyr_test::configured_testdata_dir().toStdString() + "/dbc/cantools/tests/files/dbc/multiplex.dbc";
constexpr uint32_t message1_id = 0x123456; // extended

QJsonObject canmatrix_decode(const char *message, const QString &hex)
{
    QProcess python;
    python.start(QStringLiteral("/usr/bin/python3"),
                 {vyr_test::source_dir() + "/tests/interfaces/canmatrix_decode.py",
                  QString::fromStdString(multiplex_dbc), QString::fromLatin1(message) + ':' + hex});
    if (!python.waitForFinished(60000) || python.exitCode() != 0)
        return QJsonObject();
    return QJsonDocument::fromJson(python.readAllStandardOutput()).array().at(0).toObject();
}

// Runs the dialog the window opens modally through the function, then presses OK.
void on_next_dialog(const std::function<void(VyrDialogTraceFilters &)> &edit)
{
    QTimer::singleShot(0, [edit] {
        for (QWidget *widget : QApplication::topLevelWidgets())
            if (auto *dialog = qobject_cast<VyrDialogTraceFilters *>(widget); dialog && dialog->isVisible()) {
                edit(*dialog);
                dialog->pb_ok->click();
                return;
            }
    });
}

class TraceWindow : public CanFixture
{
protected:
    void SetUp() override
    {
        if (!std::ifstream(multiplex_dbc))
            GTEST_SKIP() << "shared test data not found: " << multiplex_dbc;
        can = make("CAN", virtual_channel, "", {QString::fromStdString(multiplex_dbc)});
        ASSERT_EQ(can->load_databases(), 0);
        window.reset(static_cast<VyrTrace *>(VyrTrace::create(nullptr, nullptr)));
        window->resize(900, 500);
        window->show();
    }
    void TearDown() override
    {
        if (window && window->running())
            window->stop();
        measurement.reset();
        window.reset();
    }

    void start()
    {
        window->startup();
        measurement = std::make_unique<Measurement>(std::vector<VyrCanIf *>{can});
        ASSERT_EQ(measurement->start(), 0);
        window->state_changed();
    }
    void stop()
    {
        measurement->stop();
        window->stop();
    }
    bool shows(int rows)
    {
        return eventually([&] {
            window->update_signals();
            return window->view()->row_count() >= rows;
        });
    }
    QToolButton *button(const char *name) { return window->findChild<QToolButton *>(QString::fromLatin1(name)); }

    VyrCanIf *can = nullptr;
    std::unique_ptr<VyrTrace> window;
    std::unique_ptr<Measurement> measurement;
};

TEST_F(TraceWindow, ShowsTheFramesOfASecondHandleAndSwitchesModes)
{
    EXPECT_EQ(window->view()->interface(), can) << "a window without a group binds to the first CAN interface";
    auto *combo = window->findChild<QComboBox *>(QStringLiteral("channel_combo"));
    ASSERT_EQ(combo->count(), 2);
    EXPECT_EQ(combo->itemText(0), QString());
    EXPECT_EQ(combo->currentIndex(), 1);

    start();
    EXPECT_FALSE(combo->isEnabled());
    BusNode node;
    node.send(0x100, 0, {1, 2});
    node.send(message1_id, VyrCanMessage::Extended, {0x20, 0, 0, 0, 0, 0, 0, 0});
    node.send(0x100, 0, {3, 4});
    ASSERT_TRUE(shows(2));
    EXPECT_EQ(window->view()->row_count(), 2); // fixed position: one line per kind

    button("display_mode_button")->click();
    EXPECT_TRUE(window->view()->scroll_mode());
    EXPECT_TRUE(shows(3)) << "every frame in the scrolling list";
    button("time_format_button")->click();
    EXPECT_TRUE(window->view()->delta_time());
    button("database_mode_button")->click();
    EXPECT_TRUE(window->view()->database_mode());
    stop();
    EXPECT_TRUE(combo->isEnabled());

    // Search Up from the end finds the last record of the extended message
    // by its data; Search Down from the top the first frame of 0x100.
    auto *search = window->findChild<QLineEdit *>(QStringLiteral("search_text"));
    search->setText(QStringLiteral("20 00"));
    ASSERT_TRUE(button("search_up_button")->isEnabled());
    window->view()->set_cursor_pos(3);
    button("search_up_button")->click();
    EXPECT_EQ(window->view()->cursor_pos(), 2);
    search->setText(QStringLiteral("01 02"));
    window->view()->set_cursor_pos(1);
    button("search_down_button")->click();
    EXPECT_EQ(window->view()->cursor_pos(), 1) << "no hit below the first row";

    const QString description = window->description_text();
    EXPECT_TRUE(description.contains("<li>CAN Interface: ")) << description.toStdString();
    window->combo_selection_changed(0);
    EXPECT_EQ(window->view()->interface(), nullptr);
    EXPECT_TRUE(window->description_text().contains("<li>No CAN interface assigned.</li>"));
    EXPECT_FALSE(button("database_mode_button")->isEnabled());
}

TEST_F(TraceWindow, FiltersEditedInTheDialogDropFramesLive)
{
    start();
    // The extended message by its database name, the standard one by literal.
    on_next_dialog([](VyrDialogTraceFilters &dialog) {
        dialog.cb_ext_filter_active->setChecked(true);
        dialog.rb_ext_block->setChecked(true);
        dialog.cb_ext_single_id->setCurrentText(QStringLiteral("Message1"));
        dialog.pb_ext_add_single->click();
        dialog.cb_std_filter_active->setChecked(true);
        dialog.active_changed();
        dialog.rb_std_pass->setChecked(true);
        dialog.cb_std_start_id->setCurrentText(QStringLiteral("200h"));
        dialog.cb_std_end_id->setCurrentText(QStringLiteral("100h"));
        dialog.pb_std_add_range->click();
    });
    window->show_filter_dialog();
    EXPECT_TRUE(window->view()->extended_filters().active());
    ASSERT_EQ(window->view()->extended_filters().count(), 1);
    EXPECT_EQ(window->view()->extended_filters().first_range()->start, message1_id);
    ASSERT_EQ(window->view()->standard_filters().count(), 1);
    EXPECT_EQ(window->view()->standard_filters().first_range()->start, 0x100u);
    EXPECT_EQ(window->view()->standard_filters().first_range()->end, 0x200u);

    BusNode node;
    node.send(message1_id, VyrCanMessage::Extended, {0x20, 0, 0, 0, 0, 0, 0, 0});
    node.send(0x300, 0, {1});
    node.send(0x150, 0, {2});
    ASSERT_TRUE(shows(1));
    QTest::qWait(100);
    window->update_signals();
    EXPECT_EQ(window->view()->row_count(), 1);
    EXPECT_EQ(window->view()->store()->lines().read_line(1).message.id, 0x150u);
    stop();
}

TEST_F(TraceWindow, SignalTableDecodesTheFrameUnderTheCursorAndRebuildsOnANewMultiplexorValue)
{
    start();
    BusNode node;
    // Multiplexor (bits 2..7) 8, then 24.
    node.send(message1_id, VyrCanMessage::Extended, {0x20, 0x00, 0x8C, 0x01, 0, 0, 0, 0});
    ASSERT_TRUE(shows(1));
    button("signal_table_button")->click();
    ASSERT_TRUE(window->signal_table_dock()->isVisible());
    window->view()->set_cursor_pos(1);
    window->update_signal_table();
    SignalTable *table = window->signal_table()->table();

    const auto rows = [&] {
        std::map<std::string, double> values;
        for (int row = 0; row < table->rowCount(); ++row)
            values[table->item(row, VyrCanSignalTable::Name)->text().toStdString()] =
                table->item(row, VyrCanSignalTable::Physical)->text().toDouble();
        return values;
    };
    // The rows are the multiplexor and the signals its value selects; every
    // value that canmatrix decodes for them is the one shown. The file's
    // extended multiplexing selects the m8 group for 8, 16 and 24.
    const auto check = [&](const QString &hex, std::set<std::string> names) {
        const QJsonObject decoded = canmatrix_decode("Message1", hex);
        ASSERT_FALSE(decoded.isEmpty()) << "python3-canmatrix did not decode";
        const std::map<std::string, double> shown = rows();
        std::set<std::string> shown_names;
        for (const auto &entry : shown)
            shown_names.insert(entry.first);
        EXPECT_EQ(shown_names, names);
        int compared = 0;
        for (auto it = decoded.begin(); it != decoded.end(); ++it)
            if (names.count(it.key().section('.', 1).toStdString())) {
                EXPECT_EQ(shown.at(it.key().section('.', 1).toStdString()), it.value().toDouble())
                    << it.key().toStdString();
                ++compared;
            }
        EXPECT_GT(compared, 0);
    };
    check(QStringLiteral("20008c0100000000"), {"Multiplexor", "BIT_L", "BIT_G", "BIT_C", "BIT_J"});

    node.send(message1_id, VyrCanMessage::Extended, {0x60, 0, 0, 0x34, 0x03, 0, 0, 0});
    ASSERT_TRUE(eventually([&] {
        window->update_signals();
        return rows().count("BIT_K") == 1;
    }));
    check(QStringLiteral("6000003403000000"),
          {"Multiplexor", "BIT_K", "BIT_D", "BIT_B", "BIT_F", "BIT_H", "BIT_E", "BIT_A", "BIT_L", "BIT_G", "BIT_C",
           "BIT_J"});
    // 0x34 sets bits 26, 28 and 29 (A, K, E); 0x03 bits 32 and 33 (D, B).
    const std::map<std::string, double> bits = rows();
    for (const char *on : {"BIT_A", "BIT_K", "BIT_E", "BIT_D", "BIT_B"})
        EXPECT_EQ(bits.at(on), 1.0) << on;
    for (const char *off : {"BIT_F", "BIT_H"})
        EXPECT_EQ(bits.at(off), 0.0) << off;
    stop();
}

TEST_F(TraceWindow, LogsEveryAcceptedFrameToAnAsciiFile)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("trace.asc"));
    QtbConfig config;
    QtbConfigGroup *group = config.add_group("Trace");
    group->write_string("sif", QString::fromStdString(can->make_id()));
    QtbConfigGroup *logger = group->add_group("logger");
    std::unique_ptr<LogFile> made = LogFileFormat::create("ASCII");
    made->set_active(true);
    made->set_file_name(path.toLocal8Bit().constData());
    made->set_write_mode(LogFile::Overwrite);
    made->write_options(logger);
    window.reset(static_cast<VyrTrace *>(VyrTrace::create(nullptr, group)));
    ASSERT_NE(window->log_file(), nullptr);

    start();
    EXPECT_TRUE(window->log_file()->is_open());
    EXPECT_TRUE(button("log_indicator_button")->isEnabled());
    EXPECT_FALSE(button("log_to_file_button")->isEnabled());
    BusNode node;
    node.send(0x321, 0, {0xAB});
    ASSERT_TRUE(shows(1));
    stop();
    EXPECT_FALSE(window->log_file()->is_open());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray text = file.readAll();
    EXPECT_TRUE(text.contains("321")) << text.toStdString();
    EXPECT_TRUE(text.contains("Measurement STOPPED")) << text.toStdString();
}

TEST_F(TraceWindow, LogsToTheBinaryMdfAndVectorFormatsWhatReadsBack)
{
    for (const char *format : {"VYR-BINARY", "Binary (mdf)", "ASCII (Vector)"}) {
        SCOPED_TRACE(format);
        QTemporaryDir dir;
        const std::string path = dir.filePath(QStringLiteral("trace.log")).toStdString();
        QtbConfig config;
        QtbConfigGroup *group = config.add_group("Trace");
        group->write_string("sif", QString::fromStdString(can->make_id()));
        std::unique_ptr<LogFile> made = LogFileFormat::create(format);
        made->set_active(true);
        made->set_file_name(path.c_str());
        made->set_write_mode(LogFile::Overwrite);
        made->write_options(group->add_group("logger"));
        window.reset(static_cast<VyrTrace *>(VyrTrace::create(nullptr, group)));
        ASSERT_NE(window->log_file(), nullptr);

        start();
        BusNode node;
        node.send(0x321, 0, {0xAB, 0xCD});
        node.send(0x1ABCDEF, VyrCanMessage::Extended, {1, 2, 3, 4, 5, 6, 7, 8});
        node.send(0x7E0, VyrCanMessage::Remote, {});
        ASSERT_TRUE(shows(3));
        stop();

        std::unique_ptr<LogFile> reader = LogFileFormat::create(format);
        reader->set_file_name(path.c_str());
        reader->set_write_mode(LogFile::ReadMode);
        ASSERT_EQ(reader->open(), 0);
        const std::tuple<uint32_t, uint32_t, int> expected[] = {
            {0x321, 0, 2}, {0x1ABCDEF, VyrCanMessage::Extended, 8}, {0x7E0, VyrCanMessage::Remote, 0}};
        for (const auto &[id, flags, length] : expected) {
            VyrCanMessage message;
            ASSERT_EQ(reader->read_message(message), 0);
            EXPECT_EQ(message.id, id);
            EXPECT_EQ(message.flags, flags);
            EXPECT_EQ(message.dlc, length);
        }
        VyrCanMessage message;
        EXPECT_EQ(reader->read_message(message), LogFile::EndOfFile);
    }
}

TEST_F(TraceWindow, ALogFileThatDoesNotOpenIsReportedWithTheReason)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("missing/trace.asc"));
    std::unique_ptr<LogFile> made = LogFileFormat::create("ASCII");
    made->set_active(true);
    made->set_file_name(path.toLocal8Bit().constData());
    made->set_write_mode(LogFile::Overwrite);
    QtbConfig config;
    QtbConfigGroup *group = config.add_group("Trace");
    made->write_options(group->add_group("logger"));
    window.reset(static_cast<VyrTrace *>(VyrTrace::create(nullptr, group)));
    QSignalSpy errors(window.get(), &VyrDataWindow::signal_log_message_error);
    start();
    ASSERT_EQ(errors.count(), 1);
    EXPECT_EQ(errors.at(0).at(0).toString(), QStringLiteral("Error in %1: Unable to open log file '%2': %3.\n")
                                                 .arg(window->caption(), path, QString::fromLocal8Bit(std::strerror(ENOENT))));
    stop();
}

TEST_F(TraceWindow, ALogThatStopsDuringTheRunIsClosedWhileFramesKeepComing)
{
    QTemporaryDir dir;
    std::unique_ptr<LogFile> made = LogFileFormat::create("ASCII");
    made->set_active(true);
    made->set_file_name(dir.filePath(QStringLiteral("limited.asc")).toLocal8Bit().constData());
    made->set_write_mode(LogFile::Overwrite);
    made->set_size_mode(LogFile::LimitMessages);
    made->set_max_messages(2);
    QtbConfig config;
    QtbConfigGroup *group = config.add_group("Trace");
    made->write_options(group->add_group("logger"));
    window.reset(static_cast<VyrTrace *>(VyrTrace::create(nullptr, group)));
    start();
    BusNode node;
    for (int i = 0; i < 5; ++i)
        node.send(0x10 + i, 0, {uint8_t(i)});
    ASSERT_TRUE(shows(5));
    // The limit stops logging at the next tick: the window stops the log's
    // writer, which lets go of its queue, and closes the file while frames
    // keep coming.
    for (int i = 0; i < 50; ++i)
        node.send(0x40, 0, {uint8_t(i)});
    ASSERT_TRUE(eventually([&] {
        window->update_signals();
        return !window->log_file()->is_open();
    }));
    EXPECT_FALSE(window->log_file()->writer_running());
    EXPECT_EQ(window->logging_state(), 0);
    stop();
}

TEST_F(TraceWindow, ConfigurationRoundTripsByteForByte)
{
    button("display_mode_button")->click();
    button("time_format_button")->click();
    window->view()->standard_filters().init(false, VyrIdFilterList::pass_listed);
    window->view()->standard_filters().add_range(0x100, 0x1FF);
    window->view()->toggle_column_visibility(VyrMessageView::Ascii);
    window->view()->header()->moveSection(window->view()->header()->visualIndex(VyrMessageView::Data), 0);
    QTemporaryDir dir;
    const QString first = dir.filePath(QStringLiteral("first.vyr"));
    const QString second = dir.filePath(QStringLiteral("second.vyr"));
    {
        QtbConfig config(first);
        window->write_configuration(&config);
        ASSERT_EQ(config.write(), 0);
    }
    QtbConfig read(first);
    ASSERT_EQ(read.read(), 0);
    std::unique_ptr<VyrTrace> again(static_cast<VyrTrace *>(VyrTrace::create(nullptr, read.get_group("Trace"))));
    EXPECT_TRUE(again->view()->scroll_mode());
    EXPECT_TRUE(again->view()->delta_time());
    EXPECT_EQ(again->view()->header()->logicalIndex(0), int(VyrMessageView::Data));
    {
        QtbConfig config(second);
        again->write_configuration(&config);
        ASSERT_EQ(config.write(), 0);
    }
    QFile a(first), b(second);
    ASSERT_TRUE(a.open(QIODevice::ReadOnly) && b.open(QIODevice::ReadOnly));
    EXPECT_EQ(a.readAll(), b.readAll());
}

// The context menu's actions on the selection need a selected message.
TEST_F(TraceWindow, ContextMenuActionsOnTheSelectionNeedOne)
{
    const QStringList selection_actions = {"Copy Selected Messages to Clipboard", "Filter out Selected Id's",
                                           "Clear Selection"};
    const auto enabled_actions = [&] {
        QStringList enabled;
        QTimer::singleShot(0, [&] {
            auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
            ASSERT_NE(menu, nullptr);
            for (QAction *action : menu->actions())
                if (action->isEnabled() && selection_actions.contains(action->text()))
                    enabled << action->text();
            menu->close();
        });
        window->show_context_menu(window->mapToGlobal(QPoint(20, 20)));
        return enabled;
    };
    VyrCanMessage message;
    message.id = 0x100;
    window->view()->store()->intake().put(message);
    window->view()->update_messages();
    EXPECT_TRUE(enabled_actions().isEmpty());
    window->view()->set_cursor_pos(1);
    window->view()->toggle_selection_on_cursor_pos();
    EXPECT_EQ(enabled_actions(), selection_actions);
}

TEST_F(TraceWindow, EnablingRules)
{
    QToolButton *scroll = button("display_mode_button");
    QToolButton *display_filter = button("display_filter_button");
    QToolButton *down = button("search_down_button");
    auto *search = window->findChild<QLineEdit *>(QStringLiteral("search_text"));
    struct Case
    {
        bool scroll_mode;
        bool filter_on;
        const char *text;
        bool scroll_enabled;
        bool filter_enabled;
        bool search_enabled;
    };
    const Case cases[] = {
        {false, false, "", true, false, false},
        {false, false, "abc", true, false, false},
        {true, false, "abc", true, false, true},
        {true, false, "", true, false, false},
        {true, true, "abc", false, true, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << c.scroll_mode << c.filter_on << c.text);
        display_filter->setChecked(false);
        scroll->setChecked(c.scroll_mode);
        display_filter->setChecked(c.filter_on);
        search->setText(QString::fromLatin1(c.text));
        window->state_changed();
        EXPECT_EQ(scroll->isEnabled(), c.scroll_enabled);
        EXPECT_EQ(display_filter->isEnabled(), c.filter_enabled);
        EXPECT_EQ(down->isEnabled(), c.search_enabled);
    }
    // The filter button turns red for an active list with an entry, not for
    // an active list without one.
    QToolButton *filters = button("message_filter_button");
    const qint64 plain_icon = filters->icon().cacheKey();
    for (VyrIdFilterList *list : {&window->view()->standard_filters(), &window->view()->extended_filters()}) {
        list->set_active(true);
        window->state_changed();
        EXPECT_EQ(filters->icon().cacheKey(), plain_icon);
        list->add_id(0x10);
        window->state_changed();
        EXPECT_NE(filters->icon().cacheKey(), plain_icon);
        list->remove_id(0x10);
        window->state_changed();
        EXPECT_EQ(filters->icon().cacheKey(), plain_icon);
    }

    // Running: no channel change, no log settings, no search.
    display_filter->setChecked(false);
    start();
    EXPECT_FALSE(window->findChild<QComboBox *>(QStringLiteral("channel_combo"))->isEnabled());
    EXPECT_FALSE(button("log_to_file_button")->isEnabled());
    EXPECT_FALSE(down->isEnabled());
    EXPECT_FALSE(button("log_indicator_button")->isEnabled()) << "no log file";
    stop();
}

} // namespace
