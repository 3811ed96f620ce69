// The demo's panel in the real main window on the vrbus daemon: the demo
// configuration opens demo_panel.ui, whose bytes are what the panel's writer
// writes; while measuring, the LCD number and the gauge follow the counting
// frame 100h, the text field shows the frame count the script writes into it
// each second, the button's action sends 120h with the button's item id and
// the slider's output signal goes out in 130h.
#include "app/vyr_main.h"
#include "demo_fixture.h"
#include "message_window_rows.h"
#include "settings/qtb_config.h"
#include "core/vyr_trigger.h"
#include "core/vyr_trigger_cond.h"
#include "interfaces/can/vyr_can_if.h"
#include "windows/panel/panel_file.h"
#include "windows/panel/panel_item_type_info.h"
#include "windows/panel/panel_signal_binding.h"
#include "windows/panel/vyr_panel.h"
#include "windows/panel/vyr_panel_item.h"
#include "widgets/gauges/qtscale.h"
#include "tests/interfaces/can_test_support.h" // runs the vrbus daemon around the program

#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

#include <set>

namespace {

VyrPanelItem *item_of_type(const VyrPanel &panel, const char *type_name)
{
    for (const auto &item : panel.items())
        if (item->type_info() && item->type_info()->name() == QLatin1String(type_name))
            return item.get();
    return nullptr;
}

QByteArray file_contents(const QString &name)
{
    QFile file(name);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The node's next frame of that identifier, while the windows go on updating.
bool receive_while_updating(can_test::BusNode &node, uint32_t id, VyrCanMessage &frame)
{
    return QTest::qWaitFor(
        [&] {
            while (node.channel->read_can_message(&frame) == canhwSuccess)
                if (frame.id == id)
                    return true;
            return false;
        },
        5000);
}

} // namespace

using DemoPanel = DemoFixture;

TEST_F(DemoPanel, ItFollowsTheCounterShowsTheFrameCountAndSendsTheButtonsAndSlidersFrames)
{
    window.show();
    ASSERT_EQ(window.load_configuration(&config), 0);
    auto *panel = window.findChild<VyrPanel *>();
    ASSERT_NE(panel, nullptr);
    EXPECT_EQ(panel->get_filename(), "demo_panel.ui");
    EXPECT_EQ(panel->caption(), "Panel <demo_panel.ui>");
    ASSERT_EQ(panel->items().size(), 5u);
    EXPECT_EQ(QByteArray::fromStdString(panel_file_text(*panel)), file_contents("demo_panel.ui"))
        << "the tracked panel file is what the panel writes";

    VyrPanelItem *lcd = item_of_type(*panel, "LCD Number");
    VyrPanelItem *gauge = item_of_type(*panel, "Tacho");
    VyrPanelItem *slider = item_of_type(*panel, "Horizontal Slider");
    VyrPanelItem *button_item = item_of_type(*panel, "PushButton");
    ASSERT_TRUE(lcd && gauge && slider && button_item);
    auto *frame_count = panel->findChild<QLineEdit *>(QStringLiteral("frame_count"));
    ASSERT_NE(frame_count, nullptr);
    EXPECT_TRUE(frame_count->isReadOnly());
    auto *button = qobject_cast<QPushButton *>(button_item->widget());
    ASSERT_NE(button, nullptr);
    EXPECT_EQ(button->text(), "Ping");

    can_test::BusNode node;
    window.start();
    ASSERT_TRUE(window.measurement_running()) << message_window_rows(window).join('\n').toStdString();
    // Every binding names a signal of the demo's interface; the slider's
    // scale is the output signal's range.
    for (VyrPanelItem *item : {lcd, gauge, slider})
        EXPECT_NE(item->bindings()[0]->signal(), nullptr) << item->bindings()[0]->signal_name().toStdString();
    EXPECT_EQ(slider->widget()->property("lowerBound").toDouble(), 0.0);
    EXPECT_EQ(slider->widget()->property("upperBound").toDouble(), 100.0);

    // The counters the bus carried in 100h.
    std::set<int> counters;
    const auto read_counters = [&] {
        VyrCanMessage frame;
        while (node.channel->read_can_message(&frame) == canhwSuccess)
            if (frame.id == 0x100 && frame.dlc == 2)
                counters.insert(frame.data[0] | frame.data[1] << 8);
    };
    int shown = -1;
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            read_counters();
            shown = lcd->widget()->property("intValue").toInt();
            return shown >= 4 && counters.count(shown) &&
                   static_cast<QtScale *>(gauge->widget())->value() == double(shown % 256);
        },
        10000))
        << "LCD " << shown << ", gauge " << static_cast<QtScale *>(gauge->widget())->value();

    // The script's count, written each second: it grows with the frames
    // and is at most one more than the last counter sent.
    const auto count_shown = [&] {
        const QString text = frame_count->text();
        return text.startsWith(QLatin1String("Frames sent: ")) ? text.mid(13).toInt() : -1;
    };
    ASSERT_TRUE(QTest::qWaitFor([&] { return count_shown() >= 4; }, 10000)) << frame_count->text().toStdString();
    const int first_count = count_shown();
    ASSERT_TRUE(QTest::qWaitFor([&] { return count_shown() >= first_count + 3; }, 5000))
        << first_count << " then " << frame_count->text().toStdString();
    const int count = count_shown();
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            read_counters();
            return !counters.empty() && *counters.rbegin() >= count - 1;
        },
        5000));

    // The button runs the script's action, whose frame carries the item
    // id; the slider sets the output signal Level, sent in 130h on the
    // panel's next update.
    QTest::mouseClick(button, Qt::LeftButton);
    VyrCanMessage frame;
    ASSERT_TRUE(receive_while_updating(node, 0x120, frame));
    ASSERT_EQ(frame.dlc, 4);
    EXPECT_EQ(uint32_t(frame.data[0] | frame.data[1] << 8 | frame.data[2] << 16 | uint32_t(frame.data[3]) << 24),
              button_item->id());
    slider->widget()->setProperty("value", 42.0);
    ASSERT_TRUE(receive_while_updating(node, 0x130, frame));
    EXPECT_EQ(frame.dlc, 2);
    EXPECT_EQ(frame.data[0], 42);
    EXPECT_EQ(frame.data[1], 0);

    EXPECT_TRUE(message_window_rows(window).filter("not found").isEmpty())
        << message_window_rows(window).join('\n').toStdString();
    window.stop();
}
