// The packet trace window offscreen: its interface choice over the
// interfaces that have packet sources, start and stop, the enabling of its
// tool widgets, the search over the lines, the font sizes of its context
// menu, its configuration, and an interface that goes while it is shown.
#include "window_test_shell.h"

#include "core/vyr_packet.h"
#include "settings/qtb_config.h"
#include "windows/packet/vyr_packet_display.h"
#include "windows/packet/vyr_packet_trace.h"

#include <QComboBox>
#include <QFile>
#include <QTemporaryDir>
#include <QLineEdit>
#include <QMenu>
#include <QTest>
#include <QToolButton>
#include <gtest/gtest.h>

namespace {

// A source with a name (text, 16) and a value (int).
struct NamedValues
{
    NamedValues() : layout(make_layout()), source("Transport Layer", &layout), packet(&layout) {}
    static VyrPacketLayout make_layout()
    {
        VyrPacketLayout made(2);
        made.define_field(0, "name", "Name", VyrPacketLayout::Text, 16);
        made.define_field(1, "value", "Value", VyrPacketLayout::Int, -1);
        return made;
    }
    void send(const char *name, uint32_t value, uint32_t counter)
    {
        packet.clear();
        packet.set_counter(counter);
        packet.set_time_ms(counter * 10);
        packet.set_string_field(0, name);
        packet.set_int_field(1, value);
        source.notify_listeners(packet);
    }
    VyrPacketLayout layout;
    VyrPacketSource source;
    VyrPacket packet;
};

class PacketTraceTest : public ::testing::Test
{
protected:
    PacketTraceTest()
    {
        window = static_cast<VyrPacketTrace *>(VyrPacketTrace::create(shell.workspace, nullptr));
        window->resize(700, 300);
        shell.show();
    }
    ~PacketTraceTest() override
    {
        if (window->running())
            window->stop();
        delete window;
    }

    QComboBox *combo() const { return window->findChild<QComboBox *>(QStringLiteral("interface_combo")); }
    QToolButton *button(const char *name) const { return window->findChild<QToolButton *>(QLatin1String(name)); }
    QLineEdit *search_text() const { return window->findChild<QLineEdit *>(QStringLiteral("search_text")); }
    VyrPacketDisplay *display() const { return window->display(); }
    QStringList combo_texts() const
    {
        QStringList texts;
        for (int i = 0; i < combo()->count(); ++i)
            texts << combo()->itemText(i);
        return texts;
    }

    vyr_test::WindowTestShell shell;
    vyr_test::TestInterface plain{"CAN"};
    NamedValues first_values;
    vyr_test::TestInterface first{"TP", &first_values.source};
    NamedValues second_values;
    vyr_test::TestInterface second{"TP", &second_values.source};
    VyrPacketTrace *window = nullptr;
};

} // namespace

TEST_F(PacketTraceTest, ComboListsOnlyInterfacesWithPacketSources)
{
    EXPECT_EQ(combo_texts(), (QStringList{"", QString::fromStdString(first.name()),
                                          QString::fromStdString(second.name())}));
    // The display took the first interface with packets.
    EXPECT_EQ(display()->source_interface(), &first);
    EXPECT_EQ(combo()->currentIndex(), 1);
    window->combo_selection_changed(2);
    EXPECT_EQ(display()->source(), &second_values.source);
    window->combo_selection_changed(0);
    EXPECT_EQ(display()->source(), nullptr);
    EXPECT_EQ(combo()->currentIndex(), 0);
    EXPECT_TRUE(window->description_text().endsWith("<li>No CAN interface assigned.</li></ul>"));
}

TEST_F(PacketTraceTest, StartClearsAndStopDetaches)
{
    window->startup();
    first_values.send("one", 1, 1);
    first_values.send("two", 2, 2);
    window->update_signals();
    EXPECT_EQ(display()->total(), 2);
    QStringList lines = display()->export_text(false).split('\n');
    ASSERT_EQ(lines.size(), 3);
    EXPECT_TRUE(lines[0].startsWith("        1\t       0.010\tone"));
    EXPECT_TRUE(lines[1].simplified().endsWith("two 2"));
    window->stop();
    first_values.send("late", 3, 3);
    window->update_signals();
    EXPECT_EQ(display()->total(), 2);
    window->startup();
    EXPECT_EQ(display()->total(), 0);
    first_values.send("again", 4, 4);
    window->update_signals();
    EXPECT_EQ(display()->total(), 1);
}

TEST_F(PacketTraceTest, ToolWidgetsFollowStateSelectionAndSearchText)
{
    window->startup();
    for (uint32_t i = 1; i <= 3; ++i)
        first_values.send("packet", i, i);
    window->update_signals();
    window->stop();
    const struct
    {
        bool running;
        bool selected;
        bool filter_on;
        const char *text;
        bool combo;
        bool display_filter;
        bool search;
    } cases[] = {
        {false, false, false, "", true, false, false},   {false, true, false, "", true, true, false},
        {false, false, false, "pa", true, false, true},  {false, true, true, "pa", true, true, false},
        {false, false, true, "", true, true, false},     {true, true, false, "pa", false, false, false},
    };
    for (const auto &c : cases) {
        if (c.selected != (display()->selected_count() > 0)) {
            display()->set_cursor_pos(2);
            display()->toggle_selection_on_cursor_pos();
        }
        button("display_filter_button")->setChecked(c.filter_on);
        search_text()->setText(QString::fromLatin1(c.text));
        if (c.running)
            window->startup();
        window->state_changed();
        EXPECT_EQ(combo()->isEnabled(), c.combo);
        EXPECT_EQ(button("display_filter_button")->isEnabled(), c.display_filter);
        EXPECT_EQ(button("search_down_button")->isEnabled(), c.search);
        EXPECT_EQ(button("search_up_button")->isEnabled(), c.search);
        if (c.running)
            window->stop();
    }
    button("time_format_button")->setChecked(true);
    EXPECT_TRUE(display()->delta_time());
}

TEST_F(PacketTraceTest, SearchMovesTheCursorToTheNextLineWithTheText)
{
    window->startup();
    const char *names[] = {"alpha", "beta", "Alphabet", "gamma", "alpha"};
    for (uint32_t i = 0; i < 5; ++i)
        first_values.send(names[i], i, i + 1);
    window->update_signals();
    window->stop();
    search_text()->setText("ALPHA");
    display()->set_cursor_pos(1);
    const struct
    {
        const char *button;
        long long cursor;
    } steps[] = {{"search_down_button", 3}, {"search_down_button", 5}, {"search_down_button", 5},
                 {"search_up_button", 3},   {"search_up_button", 1},   {"search_up_button", 1}};
    for (const auto &step : steps) {
        QTest::mouseClick(button(step.button), Qt::LeftButton);
        EXPECT_EQ(display()->cursor_pos(), step.cursor) << step.button;
    }
}

TEST_F(PacketTraceTest, FontSizeMenuChecksTheCurrentSize)
{
    const struct
    {
        int size;
        const char *checked;
    } cases[] = {{10, "10"}, {16, "16"}, {9, nullptr}, {5, "5"}};
    for (const auto &c : cases) {
        display()->set_font_size(c.size);
        std::unique_ptr<QMenu> menu(window->make_context_menu());
        QMenu *sizes = menu->findChild<QMenu *>(QStringLiteral("font_size_menu"));
        ASSERT_NE(sizes, nullptr);
        QStringList texts;
        QStringList checked;
        for (QAction *action : sizes->actions()) {
            texts << action->text();
            if (action->isChecked())
                checked << action->text();
        }
        EXPECT_EQ(texts, (QStringList{"5", "6", "7", "8", "10", "11", "12", "14", "16"}));
        EXPECT_EQ(checked, c.checked ? QStringList{c.checked} : QStringList{}) << c.size;
    }
    std::unique_ptr<QMenu> menu(window->make_context_menu());
    menu->findChild<QMenu *>(QStringLiteral("font_size_menu"))->actions()[6]->trigger();
    EXPECT_EQ(display()->font_size(), 12);
}

TEST_F(PacketTraceTest, ConfigurationRoundTripsByteForByte)
{
    window->combo_selection_changed(2);
    display()->set_font_size(12);
    window->setCaption("Packets");
    QTemporaryDir dir;
    const QString first_path = dir.filePath("first.vyr");
    const QString second_path = dir.filePath("second.vyr");
    QtbConfig written;
    window->write_configuration(&written);
    ASSERT_EQ(written.write_file(first_path), 0);

    std::unique_ptr<VyrDataWindow> read(VyrPacketTrace::create(shell.workspace, written.get_group("PacketTrace")));
    auto *read_window = static_cast<VyrPacketTrace *>(read.get());
    EXPECT_EQ(read_window->display()->source(), &second_values.source);
    EXPECT_EQ(read_window->display()->font_size(), 12);
    QtbConfig rewritten;
    read_window->write_configuration(&rewritten);
    ASSERT_EQ(rewritten.write_file(second_path), 0);
    QFile a(first_path), b(second_path);
    ASSERT_TRUE(a.open(QIODevice::ReadOnly) && b.open(QIODevice::ReadOnly));
    const QByteArray text = a.readAll();
    EXPECT_TRUE(text.contains("font_size=12"));
    EXPECT_EQ(b.readAll(), text);
}

TEST_F(PacketTraceTest, AnInterfaceRemovedWhileShownLeavesItsSource)
{
    window->startup();
    first_values.send("before", 1, 1);
    window->remove_interface(QString::fromStdString(first.make_id()));
    EXPECT_EQ(display()->source(), nullptr);
    EXPECT_EQ(combo()->currentIndex(), 0);
    // Nothing of the window listens to the source any more.
    first_values.send("after", 2, 2);
    window->update_signals();
    EXPECT_EQ(display()->total(), 0);
    window->stop();
    // A new interface with packets is taken when the window shows none.
    window->add_interface(QString::fromStdString(second.make_id()));
    EXPECT_EQ(display()->source(), &second_values.source);
}

TEST_F(PacketTraceTest, ToolTipsAndRenderedWindow)
{
    EXPECT_EQ(combo()->toolTip(), "<p><h3>Select Signal Interface</h3>Allows you to select the Signal Interface from "
                                  "which packets should be displayed.</p>");
    EXPECT_EQ(button("display_filter_button")->toolTip(),
              "<p><h3>Display Filter</h3>Show only selected messages. Only available in scroll mode and offline "
              "mode.</p>");
    EXPECT_EQ(window->help_key(), "PacketTraceWindow");
    window->startup();
    for (uint32_t i = 1; i <= 4; ++i)
        first_values.send("packet", i * 7, i);
    window->update_signals();
    window->stop();
    if (const char *dir = std::getenv("VYR_TEST_PNG_DIR"))
        window->grab().save(QString::fromLocal8Bit(dir) + "/packet_trace_window.png");
}
