// The real main window at 1,600 x 1,000 pixels with a trace window on a CAN
// interface with a real network database, its signal table and a long line
// in the message window: no column cuts its title or a text it shows. Then
// the demo with a new window of every registered type beside its own, and
// the dialogs that the windows and the main window's menus open: none shows
// a text cut.
#include "app/shell/vyr_app_state.h"
#include "app/vyr_main.h"
#include "demo_fixture.h"
#include "elided_texts.h"
#include "form_test_support.h"
#include "core/candb_cluster.h"
#include "core/candb_file_format.h"
#include "core/candb_file_io.h"
#include "core/candb_message.h"
#include "interfaces/can/vyr_can_if.h"
#include "main_config_fixture.h"
#include "message_window_rows.h"
#include "settings/qtb_config.h"
#include "interfaces/widgets/interface_dialog_services.h"
#include "test_paths.h"
#include "windows/base/data_window_type_info.h"
#include "windows/base/vyr_data_window.h"
#include "windows/packet/vyr_packet_display.h"
#include "windows/packet/vyr_rt_log.h"
#include "windows/signals/vyr_can_signal_table.h"
#include "windows/trace/trace_cell_text.h"
#include "windows/trace/vyr_message_view.h"
#include "windows/trace/vyr_trace.h"
#include "windows/trace/vyr_trace_message_queue.h"
#include "windows/triggers/vyr_dialog_trigger_cond_settings.h"

#include <QApplication>
#include <QDir>
#include <QDockWidget>
#include <QHeaderView>
#include <QTabWidget>
#include <QMenu>
#include <QToolButton>
#include <QMdiSubWindow>
#include <QStyle>
#include <QTest>

#include <cstdio>

namespace {

class MainWindowColumns : public vyr_test::MainConfigFixture
{
protected:
    void TearDown() override
    {
        window.reset();
        MainConfigFixture::TearDown();
    }

    // Paints everything, lets the columns grow to what was painted, and
    // paints again.
    void settle()
    {
        for (int i = 0; i < 3; ++i) {
            window->grab();
            QApplication::processEvents();
        }
    }

    // A title the header shows whole: the text and the margins on both sides.
    static void expect_titles_whole(const QHeaderView *header, const char *what)
    {
        const int margin = header->style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, header);
        for (int section = 0; section < header->count(); ++section) {
            if (header->sectionSize(section) == 0 || header->isSectionHidden(section))
                continue;
            const QString title = header->model()->headerData(section, Qt::Horizontal).toString();
            EXPECT_GE(header->sectionSize(section), header->fontMetrics().horizontalAdvance(title) + 2 * margin)
                << what << ": title \"" << title.toStdString() << "\"";
        }
    }

    std::unique_ptr<VyrMain> window;
};

VyrCanMessage frame(uint32_t id, uint32_t time_ms, std::vector<uint8_t> data)
{
    VyrCanMessage message{};
    message.id = id;
    message.time = time_ms;
    message.dlc = uint8_t(data.size());
    for (size_t i = 0; i < data.size(); ++i)
        message.data[i] = data[i];
    return message;
}

TEST_F(MainWindowColumns, AtSixteenHundredPixelsNoTitleOrTextIsCut)
{
    const std::string dbc = vyr_test::configured_testdata_dir().toStdString() + "/dbc/opendbc/opendbc/dbc/vw_mqb.dbc";
    auto cluster = std::make_unique<CANdbCluster>();
    std::unique_ptr<CANdbFileIo> io = CANdbFileFormat::create_io("DBC");
    io->set_file_name(dbc.c_str());
    if (io->read(cluster->add_network(std::make_unique<CANdbNetwork>())) != 0)
        GTEST_SKIP() << "shared test data not found: " << dbc;

    write(path("columns.vyr"),
          "[defaults]\n"
          "geometry=( 0 0 1600 1000 )\n"
          "[CAN]\n"
          "active=true\n"
          "index=1\n"
          "name=\"CAN 1\"\n"
          "[Trace]\n"
          "geometry=( 0 0 1500 560 )\n"
          "sif=\"CAN1\"\n"
          "mode_scroll_mode=true\n"
          "mode_candb_mode=true\n"
          "col_visible_signals=true\n"
          "signal_table_visible=true\n"
          "workspace_id=0\n");
    window = std::make_unique<VyrMain>();
    window->setAttribute(Qt::WA_DeleteOnClose, false);
    auto *config = new QtbConfig(path("columns.vyr"));
    config->read();
    replace_configuration(config);
    ASSERT_EQ(window->load_configuration(config), 0);
    window->resize(1600, 1000);
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));

    auto *can = dynamic_cast<VyrCanIf *>(get_first_signal_if());
    auto *trace = window->findChild<VyrTrace *>();
    ASSERT_NE(can, nullptr);
    ASSERT_NE(trace, nullptr);
    can->set_databases(std::move(cluster));
    trace->setup_signal_table();
    trace->state_changed();
    trace->signal_table_dock()->show();
    VyrMessageView *view = trace->view();
    ASSERT_TRUE(view->database_mode());
    ASSERT_TRUE(view->section_visible(VyrMessageView::Signals));

    // A line longer than the fixed message column used to be.
    const QString long_line = QStringLiteral("Loading config file \"/home/someone/.local/share/vyr/demo/demo.vyr\" "
                                             "...can not find it - using built-in defaults, and more text behind.");
    window->log_message_info(long_line + '\n');

    // LWI_01 (134) with its long signal names and units, a frame the
    // database does not know, and an extended one.
    const std::vector<VyrCanMessage> frames = {
        frame(134, 1000, {0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC, 0xDE, 0xF0}),
        frame(0x7FF, 1250, {1, 2, 3}),
        frame(0x1ABCDEF0, 1500, {0, 1, 2, 3, 4, 5, 6, 7}),
        frame(134, 1750, {0x21, 0x43, 0x65, 0x87, 0xA9, 0xCB, 0xED, 0x0F}),
    };
    for (VyrCanMessage message : frames) {
        if (message.id > 0x7FF)
            message.flags |= VyrCanMessage::Extended;
        view->store()->intake().put(message); // taken over by update_messages
    }
    view->update_messages();
    view->set_cursor_pos(1); // the signal table shows LWI_01
    trace->update_signal_table();
    window->message_window()->display()->update(); // takes the logged rows
    settle();

    const QString picture = QDir::tempPath() + QStringLiteral("/vyr_main_columns.png");
    window->grab().save(picture);
    std::printf("rendered to %s\n", qPrintable(picture));

    // The trace: every title, and every cell of every row, whole.
    expect_titles_whole(view->header(), "trace");
    for (size_t row = 0; row < frames.size(); ++row) {
        VyrCanMessage message = frames[row];
        if (message.id > 0x7FF)
            message.flags |= VyrCanMessage::Extended;
        const uint64_t counter = row + 1;
        const int64_t time_us = trace_text::record_time_us(message);
        const CANdbMessage *known = message.id == 134 ? can->databases()->find_message_by_id(134) : nullptr;
        const auto cell = [&](int section) { return view->cell_text(section, message, counter, time_us); };
        SCOPED_TRACE(message.id);

        // "CAN 1" and the message's name apart, not "CAN 1LWI_01".
        EXPECT_TRUE(cell(VyrMessageView::Channel).startsWith("CAN 1 ")) << cell(VyrMessageView::Channel).toStdString();
        const QString identifier = cell(VyrMessageView::Identifier).trimmed();
        if (known)
            EXPECT_TRUE(identifier.startsWith("LWI_01")) << identifier.toStdString();
        else
            EXPECT_TRUE(identifier.startsWith(QString::number(message.id))) << identifier.toStdString();
        EXPECT_EQ(cell(VyrMessageView::Data).trimmed(),
                  QString::fromStdString(trace_text::data_cell(message, 1000, true)));
        EXPECT_EQ(cell(VyrMessageView::Counter).trimmed(), QString::number(counter));
        const std::string decoded = trace_text::signals_cell(message, known, 1000);
        EXPECT_EQ(cell(VyrMessageView::Signals).toStdString(), decoded);
        EXPECT_FALSE(QString::fromStdString(decoded).endsWith("..."));
    }

    // The signal table: its titles and every name, value and unit.
    SignalTable *table = trace->signal_table()->table();
    ASSERT_GT(table->rowCount(), 5);
    expect_titles_whole(table->horizontalHeader(), "signal table");
    for (int column = VyrCanSignalTable::Name; column <= VyrCanSignalTable::Unit; ++column)
        EXPECT_GE(table->columnWidth(column), table->contents_width(column)) << "signal table column " << column;
    bool has_long_unit = false;
    for (int row = 0; row < table->rowCount(); ++row)
        has_long_unit = has_long_unit ||
            (table->item(row, VyrCanSignalTable::Unit) &&
             table->item(row, VyrCanSignalTable::Unit)->text() == "Unit_DegreOfArcPerSecon");
    EXPECT_TRUE(has_long_unit);

    // The message window: its titles, and the long line whole in the last column.
    VyrPacketDisplay *messages = window->message_window()->display();
    QHeaderView *message_header = messages->header();
    expect_titles_whole(message_header, "message window");
    const int last = message_header->count() - 1;
    EXPECT_GE(message_header->sectionSize(last), (long_line.size() + 1) * messages->char_width());
    EXPECT_TRUE(message_window_rows(*window).contains(long_line));
}

// Paints the widget, lets its columns grow to what was painted, and reports
// its cut texts, a line each, on every page of its tab widgets.
std::string cut_texts_of(QWidget *widget)
{
    auto settle = [widget] {
        for (int i = 0; i < 2; ++i) {
            widget->grab();
            QTest::qWait(120); // the lists that fit their columns a moment after a resize
        }
    };
    settle();
    QStringList found = elided_texts(widget);
    for (QTabWidget *tabs : widget->findChildren<QTabWidget *>()) {
        if (!tabs->isVisible())
            continue;
        const int shown = tabs->currentIndex();
        for (int page = 0; page < tabs->count(); ++page) {
            if (page == shown)
                continue;
            tabs->setCurrentIndex(page);
            settle();
            found << elided_texts(tabs->widget(page));
            widget->grab().save(QStringLiteral("%1/vyr_cut_%2_%3.png").arg(QDir::tempPath(), widget->objectName()).arg(page));
        }
        tabs->setCurrentIndex(shown);
    }
    found.removeDuplicates();
    return found.join('\n').toStdString();
}

// Runs open, which opens a modal dialog, and gives the dialog's cut texts.
std::string cut_texts_of_modal(const std::function<void()> &open)
{
    std::string found;
    form_test::when_modal([&found](QWidget *dialog) {
        found = cut_texts_of(dialog);
        dialog->grab().save(QDir::tempPath() + "/vyr_cut_" + dialog->objectName() + ".png");
        dialog->close();
    });
    open();
    return found;
}

using EveryWindowAndDialog = DemoFixture;

TEST_F(EveryWindowAndDialog, ShowsItsTextsWhole)
{
    // The dialogs of the interfaces and trigger conditions, as the program installs them.
    install_interface_dialogs();
    install_trigger_cond_editors();
    window.resize(1600, 1000);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    ASSERT_EQ(window.load_configuration(&config), 0);
    for (const DataWindowTypeInfo *type = DataWindowTypeInfo::first(); type; type = type->next())
        window.findChild<QToolButton *>("button_create_" + QString::fromStdString(type->class_key()))->click();
    QApplication::processEvents();

    // The demo's windows with their contents, a new one of every type, and
    // the dialogs each window opens.
    int windows = 0;
    for (VyrDataWindow *w = first_window(); w; w = w->next_window(), ++windows) {
        const std::string name = w->caption().toStdString();
        w->frame()->raise();
        EXPECT_EQ(cut_texts_of(w), "") << name;
        w->open_signal_dialog();
        QWidget *signals_dialog = window.findChild<QWidget *>("signal_select");
        ASSERT_NE(signals_dialog, nullptr);
        EXPECT_EQ(cut_texts_of(signals_dialog), "") << name << ": signal selection";
        signals_dialog->close();
        EXPECT_EQ(cut_texts_of_modal([w] { w->open_properties_dialog(); }), "") << name << ": properties";
        if (w->findChild<QToolButton *>("log_to_file_button")) {
            EXPECT_EQ(cut_texts_of_modal([w] { w->open_log_to_file_dialog(); }), "")
                << name << ": log to file";
        }
    }
    EXPECT_GT(windows, 8);

    // Every entry of the Settings menu and its submenus that opens a dialog.
    QMenu *settings = window.menus().menu_settings;
    emit settings->aboutToShow();
    int dialogs = 0;
    std::function<void(QMenu *)> walk = [&](QMenu *menu) {
        for (QAction *entry : menu->actions()) {
            if (entry->menu()) {
                emit entry->menu()->aboutToShow();
                if (entry->menu()->objectName() != "menu_service_control" &&
                    entry->menu()->objectName() != "menu_create_interface")
                    walk(entry->menu());
            } else if (!entry->isSeparator() && entry->isEnabled()) {
                ++dialogs;
                EXPECT_EQ(cut_texts_of_modal([entry] { entry->trigger(); }), "")
                    << entry->text().toStdString();
            }
        }
    };
    walk(settings);
    EXPECT_GE(dialogs, 4); // preferences, interface list, trigger settings, the CAN interface's settings
}

} // namespace
