// The replay window as a user meets it: rows added through the file dialog,
// the dialog's filter and its refusals, cell editors, rows moved and
// deleted, columns hidden and shown, interfaces renamed and removed, the
// measurement start and stop, and the configuration group.
#include "../interfaces/can_test_support.h"
#include "replay_test_support.h"
#include "core/vyr_trigger.h"
#include "settings/qtb_config.h"
#include "test_paths.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>

namespace {

using namespace can_test;
using namespace replay_test;

const bool two_channels = (listed_virtual_channels = 2, true);

// A format that can be written but not replayed.
const LogFileFormat write_only_format("WRITEONLY", "Written only", "Written only\n", "wo", LogFileFormat::Writable,
                                      nullptr);

struct DesktopStub
{
    static inline QString chosen;
    static inline QString caption;
    static inline QString filter;
    static inline QStringList errors;
    static QString choose(QWidget *, const QString &title, const QString &, const QString &f)
    {
        caption = title;
        filter = f;
        return chosen;
    }
    static void error(QWidget *, const QString &, const QString &text) { errors << text; }
};

class ReplayWindowTest : public CanFixture
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        m_saved = VyrCanReplay::desktop();
        VyrCanReplay::desktop() = {&DesktopStub::choose, &DesktopStub::error};
        DesktopStub::errors.clear();
        m_old_dir = QDir::currentPath();
        QDir::setCurrent(m_dir.path());
        can1 = make("CAN");
    }
    void TearDown() override
    {
        VyrCanReplay::desktop() = m_saved;
        QDir::setCurrent(m_old_dir);
    }
    QString touch(const QString &name)
    {
        QFile file(m_dir.filePath(name));
        file.open(QIODevice::WriteOnly);
        return file.fileName();
    }

    QTemporaryDir m_dir;
    VyrCanReplay::Desktop m_saved{};
    QString m_old_dir;
    VyrCanIf *can1 = nullptr;
};

TEST_F(ReplayWindowTest, InsertAddsARowOfTheChosenFileWithTheDefaults)
{
    ReplayWindow replay;
    DesktopStub::chosen = touch("drive.txt");
    QTest::mouseClick(replay.window.findChild<QToolButton *>("insert_button"), Qt::LeftButton);
    CanReplayTable *table = replay.window.table();
    ASSERT_EQ(table->rowCount(), 1);
    EXPECT_EQ(DesktopStub::caption, "Select File for Replay");
    EXPECT_TRUE(DesktopStub::filter.startsWith("ASCII (*.txt);;"));
    EXPECT_TRUE(DesktopStub::filter.endsWith(";;All files (*)"));
    EXPECT_FALSE(DesktopStub::filter.contains("WRITEONLY"));
    EXPECT_EQ(table->item(0, CanReplayTable::Channel)->text(), "CAN 1");
    EXPECT_EQ(table->item(0, CanReplayTable::File)->text(), "drive.txt") << "relative to the current directory";
    EXPECT_EQ(table->item(0, CanReplayTable::Timing)->text(), "10");
    EXPECT_EQ(table->item(0, CanReplayTable::Mode)->text(), "Endless");
    EXPECT_EQ(table->item(0, CanReplayTable::Progress)->text(), "0");
    CanReplayFile &file = replay.replay(0);
    EXPECT_EQ(file.first_interface(), can1);
    EXPECT_EQ(file.timing(), 10);
    EXPECT_EQ(file.mode(), CanReplayFile::Endless);
    EXPECT_EQ(file.file_name(), "drive.txt");
    EXPECT_EQ(replay.button(0).text(), "Start");
    EXPECT_FALSE(replay.button(0).isEnabled()) << "no measurement runs";
}

TEST_F(ReplayWindowTest, TheFileDialogRefusesWhatCannotBeReplayed)
{
    ReplayWindow replay;
    struct Case
    {
        QString chosen;
        QString error;
    };
    QString list;
    VyrCanReplay::replay_filter(&list);
    EXPECT_TRUE(list.startsWith("<ul><li>ASCII (*.txt)</li>"));
    const Case cases[] = {
        {m_dir.filePath("absent.txt"), "Unable to open file '" + m_dir.filePath("absent.txt") + "' for replay !"},
        {touch("drive.xyz"), "Unknown extension of log-file&nbsp;'.xyz'.<br>Expected one of these: " + list},
        {touch("drive.wo"), "Log-file type 'WRITEONLY' can't be replayed."},
        {QString(), QString()},
    };
    for (const Case &c : cases) {
        DesktopStub::errors.clear();
        DesktopStub::chosen = c.chosen;
        replay.window.add_message();
        EXPECT_EQ(replay.window.table()->rowCount(), 0) << c.chosen.toStdString();
        EXPECT_EQ(DesktopStub::errors, c.error.isEmpty() ? QStringList() : QStringList{c.error});
    }
}

TEST_F(ReplayWindowTest, OpeningReportsWhatKeepsARowFromPlaying)
{
    VyrCanIf *active = can1;
    active->set_active(true);
    ReplayWindow replay;
    const QString missing = m_dir.filePath("gone.txt");
    const QString unknown = touch("drive.xyz");
    replay.window.add_message(active, nullptr, missing, -2, 2, QString(), nullptr);
    replay.window.add_message(active, nullptr, unknown, -2, 2, QString(), nullptr);
    replay.window.add_message(nullptr, nullptr, unknown, -2, 2, QString(), nullptr);
    for (int row = 0; row < 3; ++row)
        for (int column = 0; column < CanReplayTable::column_count; ++column)
            replay.window.value_changed(row, column);
    replay.window.startup();
    EXPECT_TRUE(replay.button(0).isEnabled());
    EXPECT_FALSE(replay.button(2).isEnabled()) << "no interface";
    QCoreApplication::processEvents();
    EXPECT_EQ(replay.lines, (QStringList{"Error in Replay: File '" + missing + "' not found\n",
                                         "Error in Replay: Unable to determine type of logfile '" + unknown + "'\n",
                                         "Error in Replay: Unable to create replay object for file '" + unknown +
                                             "'\n"}));
    replay.window.stop();
    EXPECT_FALSE(replay.button(0).isEnabled());
}

// A row's reader belongs to its file's format: a new name of no known format leaves the row without one.
TEST_F(ReplayWindowTest, AnUnknownExtensionReleasesTheOldReader)
{
    CanReplayFile file(nullptr);
    file.set_first_interface(can1);
    file.set_file_name(touch("first.txt"));
    file.open_file();
    ASSERT_NE(file.reader(), nullptr);
    file.set_file_name(touch("second.xyz"));
    file.open_file();
    EXPECT_EQ(file.reader(), nullptr);
    file.start();
    EXPECT_FALSE(file.running());
}

TEST_F(ReplayWindowTest, CellEditorsHandTheirValuesToTheRow)
{
    ReplayWindow replay;
    replay.window.show();
    replay.window.add_message(can1, nullptr, "a.txt", 10, 1, QString(), nullptr);
    CanReplayTable *table = replay.window.table();
    CanReplayFile &file = replay.replay(0);
    struct Case
    {
        int column;
        QString entry;
        QString shown;
    };
    const Case cases[] = {
        {CanReplayTable::Timing, "One Message", "One Message"},
        {CanReplayTable::Timing, "File Timing", "File Timing"},
        {CanReplayTable::Mode, "One Shot", "One Shot"},
    };
    for (const Case &c : cases) {
        table->setCurrentCell(0, c.column);
        table->editItem(table->item(0, c.column));
        auto *combo = qobject_cast<QComboBox *>(table->open_editor());
        ASSERT_NE(combo, nullptr);
        combo->setCurrentIndex(combo->findText(c.entry));
        emit combo->activated(combo->currentIndex());
        EXPECT_EQ(table->open_editor(), nullptr) << "a chosen entry ends the edit";
        EXPECT_EQ(table->item(0, c.column)->text(), c.shown);
    }
    EXPECT_EQ(file.timing(), CanReplayFile::FileTiming);
    EXPECT_EQ(file.mode(), CanReplayFile::OneShot);

    // A typed number is taken; the validator refuses text without one.
    table->editItem(table->item(0, CanReplayTable::Timing));
    auto *combo = qobject_cast<QComboBox *>(table->open_editor());
    ASSERT_NE(combo, nullptr);
    int position = 0;
    QString text = "abc";
    EXPECT_EQ(combo->validator()->validate(text, position), QValidator::Invalid);
    combo->setEditText("25");
    table->end_edit();
    EXPECT_EQ(table->item(0, CanReplayTable::Timing)->text(), "25");
    EXPECT_EQ(file.timing(), 25);
}

TEST_F(ReplayWindowTest, RowsMoveAndTheButtonsFollowTheirRows)
{
    ReplayWindow replay;
    for (const char *name : {"a.txt", "b.txt", "c.txt"})
        replay.window.add_message(can1, nullptr, name, 10, 1, QString(), nullptr);
    CanReplayTable *table = replay.window.table();
    auto *up = replay.window.findChild<QToolButton *>("move_up_button");
    auto *down = replay.window.findChild<QToolButton *>("move_down_button");
    auto *remove = replay.window.findChild<QToolButton *>("delete_button");
    EXPECT_FALSE(remove->isEnabled());
    for (int row = 0; row < 3; ++row)
        replay.window.value_changed(row, CanReplayTable::File);
    table->selectRow(2);
    EXPECT_FALSE(down->isEnabled()) << "the last row is selected";
    EXPECT_TRUE(up->isEnabled());
    QTest::mouseClick(up, Qt::LeftButton);
    EXPECT_EQ(table->item(1, CanReplayTable::File)->text(), "c.txt");
    EXPECT_EQ(replay.replay(1).file_name(), "c.txt") << "the button moved with its row";
    EXPECT_TRUE(table->row_selected(1));
    QTest::mouseClick(up, Qt::LeftButton);
    EXPECT_FALSE(up->isEnabled()) << "the first row is selected";
    QTest::mouseClick(remove, Qt::LeftButton);
    ASSERT_EQ(table->rowCount(), 2);
    EXPECT_EQ(replay.replay(0).file_name(), "a.txt");
    EXPECT_EQ(replay.replay(1).file_name(), "b.txt");
    replay.window.delete_line(5);
    replay.window.delete_line(0);
    EXPECT_EQ(table->rowCount(), 1);
    EXPECT_EQ(replay.replay(0).file_name(), "b.txt");
}

TEST_F(ReplayWindowTest, InterfacesRenamedAndRemovedReachTheCells)
{
    VyrCanIf *can2 = make("CAN", second_virtual_channel);
    ReplayWindow replay;
    replay.window.add_message(can1, can2, "a.txt", 10, 1, QString(), nullptr);
    replay.window.add_message(can2, nullptr, "b.txt", 10, 1, QString(), nullptr);
    for (int row = 0; row < 2; ++row)
        for (int column = 0; column < CanReplayTable::column_count; ++column)
            replay.window.value_changed(row, column);
    CanReplayTable *table = replay.window.table();
    can2->set_name("Powertrain");
    replay.window.interface_configuration_changed(QString::fromStdString(can2->make_id()));
    EXPECT_EQ(table->item(0, CanReplayTable::Channel2)->text(), "Powertrain");
    EXPECT_EQ(table->item(1, CanReplayTable::Channel)->text(), "Powertrain");
    replay.window.remove_interface(QString::fromStdString(can2->make_id()));
    EXPECT_EQ(table->item(0, CanReplayTable::Channel2)->text(), "");
    EXPECT_EQ(table->item(1, CanReplayTable::Channel)->text(), "");
    EXPECT_EQ(replay.replay(0).second_interface(), nullptr);
    EXPECT_EQ(replay.replay(1).first_interface(), nullptr) << "a row on it no longer sends";
    EXPECT_EQ(replay.replay(0).first_interface(), can1);
}

TEST_F(ReplayWindowTest, HiddenColumnsKeepTheirWidthAndComeBackUsable)
{
    ReplayWindow replay;
    CanReplayTable *table = replay.window.table();
    EXPECT_FALSE(replay.window.column_visible(CanReplayTable::Comment));
    EXPECT_FALSE(replay.window.column_visible(CanReplayTable::Channel2));
    EXPECT_FALSE(replay.window.column_visible(CanReplayTable::Trigger));
    table->setColumnWidth(CanReplayTable::Mode, 77);
    replay.window.show_column(CanReplayTable::Mode, false);
    EXPECT_TRUE(table->isColumnHidden(CanReplayTable::Mode));
    QtbConfig config;
    replay.window.write_configuration(&config);
    QtbConfigGroup *group = config.get_group("CanReplay");
    ASSERT_NE(group, nullptr);
    EXPECT_EQ(group->read_int("col_width_mode", 0), 77);
    EXPECT_FALSE(group->read_bool("col_visible_mode", true));
    replay.window.show_column(CanReplayTable::Mode);
    EXPECT_EQ(table->columnWidth(CanReplayTable::Mode), 77);

    QtbConfigGroup narrow;
    narrow.write_int("col_width_comment", 0);
    narrow.write_bool("col_visible_comment", true);
    std::unique_ptr<VyrDataWindow> read(VyrCanReplay::create(nullptr, &narrow));
    EXPECT_EQ(static_cast<VyrCanReplay *>(read.get())->table()->columnWidth(CanReplayTable::Comment), 20);

    // A configuration without widths (the demo's) shows Channel2, hidden at
    // creation, as wide as it was: wide enough for its title.
    QtbConfigGroup bare;
    std::unique_ptr<VyrDataWindow> plain(VyrCanReplay::create(nullptr, &bare));
    CanReplayTable *plain_table = static_cast<VyrCanReplay *>(plain.get())->table();
    EXPECT_FALSE(plain_table->isColumnHidden(CanReplayTable::Channel2));
    EXPECT_EQ(plain_table->horizontalHeaderItem(CanReplayTable::Channel2)->text(), "Channel2");
    EXPECT_GE(plain_table->columnWidth(CanReplayTable::Channel2),
              plain_table->horizontalHeader()->fontMetrics().horizontalAdvance("Channel2"));
}

TEST_F(ReplayWindowTest, TheConfigurationRoundTripsAndFillsDefaults)
{
    VyrTriggerList triggers;
    VyrTriggerList::set_instance(&triggers);
    auto *go = new VyrTrigger(&triggers, "Go");
    VyrCanIf *can2 = make("CAN", second_virtual_channel);
    QtbConfig first;
    {
        ReplayWindow replay;
        replay.window.add_message(can1, can2, QString::fromUtf8("fahrt-\u00fc.txt"), -1, 2, "night run", go);
        replay.window.add_message(nullptr, nullptr, "plain.txt", 250, 1, QString(), nullptr);
        replay.window.write_configuration(&first);
    }
    QtbConfigGroup *group = first.get_group("CanReplay");
    ASSERT_NE(group, nullptr);
    EXPECT_EQ(group->read_int("number_of_messages", 0), 2);
    std::unique_ptr<VyrDataWindow> read(VyrCanReplay::create(nullptr, group));
    auto *window = static_cast<VyrCanReplay *>(read.get());
    CanReplayTable *table = window->table();
    ASSERT_EQ(table->rowCount(), 2);
    EXPECT_EQ(table->item(0, CanReplayTable::File)->text(), QString::fromUtf8("fahrt-\u00fc.txt"));
    EXPECT_EQ(window->button(0)->replay().first_interface(), can1);
    EXPECT_EQ(window->button(0)->replay().second_interface(), can2);
    EXPECT_EQ(window->button(0)->replay().timing(), CanReplayFile::OneMessage);
    EXPECT_EQ(window->button(0)->text(), "Send");
    EXPECT_EQ(window->button(0)->trigger(), go);
    EXPECT_EQ(table->item(0, CanReplayTable::Comment)->text(), "night run");
    EXPECT_EQ(table->item(1, CanReplayTable::Trigger)->text(), " --- ");
    EXPECT_EQ(table->item(1, CanReplayTable::Channel)->text(), "");
    QtbConfig second;
    window->write_configuration(&second);
    QtbConfigGroup *again = second.get_group("CanReplay");
    ASSERT_NE(again, nullptr);
    EXPECT_EQ(again->get_group("messages")->count(), 2);
    QtbConfigGroup *row0 = again->get_group("messages")->first_group();
    EXPECT_EQ(row0->read_string("canif", ""), "CAN1");
    EXPECT_EQ(row0->read_string("trigger", ""), "Go");
    EXPECT_EQ(row0->read_int("timing", 0), -1);

    // A row with no timing and no mode: "0" behaving as file timing, "Invalid" behaving as one shot.
    QtbConfigGroup bare;
    QtbConfigGroup *messages = bare.add_group("messages");
    messages->append_entry(QtbConfigValue(std::make_unique<QtbConfigGroup>()), nullptr)
        ->group()
        ->write_string("filename", "x.txt");
    std::unique_ptr<VyrDataWindow> defaults(VyrCanReplay::create(nullptr, &bare));
    auto *plain = static_cast<VyrCanReplay *>(defaults.get());
    EXPECT_EQ(plain->table()->item(0, CanReplayTable::Timing)->text(), "0");
    EXPECT_EQ(plain->table()->item(0, CanReplayTable::Mode)->text(), "Invalid");
    EXPECT_EQ(plain->button(0)->replay().mode(), CanReplayFile::OneShot);
    EXPECT_FALSE(plain->column_visible(CanReplayTable::Comment));
    EXPECT_TRUE(plain->column_visible(CanReplayTable::Channel2));
    read.reset();
    VyrTriggerList::set_instance(nullptr);
}

// A set trigger presses the row's button on the GUI thread, whichever thread set it.
TEST_F(ReplayWindowTest, ATriggerSetOnAnotherThreadStartsTheRowOnTheGuiThread)
{
    VyrTriggerList triggers;
    VyrTriggerList::set_instance(&triggers);
    auto *go = new VyrTrigger(&triggers, "Go");
    can1->set_active(true);
    ReplayWindow replay;
    const QString file = m_dir.filePath("t.txt");
    ASSERT_TRUE(write_log("ASCII", file.toStdString(), {frame(0, 0x100), frame(5000, 0x101)}));
    replay.window.add_message(can1, nullptr, file, -2, 2, QString(), go);
    for (int column = 0; column < CanReplayTable::column_count; ++column)
        replay.window.value_changed(0, column);
    replay.window.startup();
    std::thread([go] { go->set(); }).join();
    EXPECT_FALSE(replay.replay(0).running()) << "nothing runs before the GUI thread takes the press";
    QCoreApplication::processEvents();
    EXPECT_TRUE(replay.replay(0).running());
    std::thread([go] { go->reset(); }).join();
    QCoreApplication::processEvents();
    EXPECT_TRUE(replay.replay(0).running()) << "a reset trigger does nothing";
    replay.window.stop();
    EXPECT_FALSE(replay.replay(0).running());
    VyrTriggerList::set_instance(nullptr);
}

// While the trigger refuses its GUI lock, the row keeps its listener and tries again.
TEST_F(ReplayWindowTest, ARefusedTriggerLockKeepsTheOldListener)
{
    VyrTriggerList triggers;
    auto *first = new VyrTrigger(&triggers, "First");
    auto *second = new VyrTrigger(&triggers, "Second");
    ReplayWindow replay;
    replay.window.add_message(can1, nullptr, "a.txt", 10, 1, QString(), first);
    ASSERT_EQ(first->listeners().size(), 1u);
    ASSERT_EQ(first->rt_lock(), 0); // a realtime user holds the trigger
    replay.button(0).set_trigger(second);
    EXPECT_EQ(first->listeners().size(), 1u);
    EXPECT_TRUE(replay.button(0).trigger_change_pending());
    first->rt_unlock();
    EXPECT_TRUE(QTest::qWaitFor([&] { return !replay.button(0).trigger_change_pending(); }));
    EXPECT_TRUE(first->listeners().empty());
    EXPECT_EQ(second->listeners().size(), 1u);
    replay.window.delete_line(0);
    EXPECT_TRUE(second->listeners().empty()) << "a deleted row detaches its listener";
}

TEST_F(ReplayWindowTest, TheWindowRendersItsRows)
{
    ReplayWindow replay;
    replay.window.add_message(can1, nullptr, "logs/drive_to_work.txt", -2, 1, QString(), nullptr);
    replay.window.add_message(can1, nullptr, "logs/stop_and_go.txt", 10, 2, QString(), nullptr);
    replay.window.add_message(can1, nullptr, "logs/one_by_one.txt", -1, 2, QString(), nullptr);
    replay.window.resize(640, 200);
    const QImage image = replay.window.grab().toImage();
    EXPECT_FALSE(image.isNull());
    if (const char *out = getenv("VYR_RENDER_DIR"))
        image.save(QString::fromLocal8Bit(out) + "/replay_window.png");
}

} // namespace

namespace {

// The demo's drive log reads whole: the replay window of the demo plays it.
TEST(ReplayDemo, TheDemosDriveLogReadsWhole)
{
    std::unique_ptr<LogFile> reader = LogFileFormat::create("ASCII");
    reader->set_file_name((vyr_test::source_dir() + "/demo/demo_drive.txt").toStdString().c_str());
    reader->set_write_mode(LogFile::ReadMode);
    ASSERT_EQ(reader->open(), LogFile::Success);
    VyrCanMessage message;
    int records = 0;
    int extended = 0;
    int rc = 0;
    uint32_t last_time = 0;
    while ((rc = reader->read_message(message)) == LogFile::Success) {
        ++records;
        last_time = message.time;
        if (message.id == 0x18fef100 && (message.flags & VyrCanMessage::Extended))
            ++extended;
    }
    EXPECT_EQ(rc, LogFile::EndOfFile);
    EXPECT_EQ(records, 90);
    EXPECT_EQ(extended, 30);
    EXPECT_EQ(last_time, 2900u);
}

} // namespace
