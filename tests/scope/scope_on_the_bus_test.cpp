// The scope on the vrbus daemon: signals of a signed Motorola DBC and of a
// float DBC picked in the signal selection, a measurement started, frames
// written by the test's node; every sample is what python3-canmatrix decodes
// from its frame, at its frame's own time stamp, and the curves show in the
// window.
#include "../interfaces/can_test_support.h"

#include "core/vyr_signal_list.h"
#include "core/widgets/vyr_signal_select_list_view.h"
#include "test_support.h"
#include "windows/scope/qgraph_measured_signal.h"
#include "windows/scope/vyr_graph_window.h"
#include "windows/scope/vyr_scope.h"
#include "windows/scope/vyr_scope_signal_item.h"
#include "windows/signals/vyr_signal_select.h"

#include <QApplication>
#include <QImage>
#include <QTest>
#include <gtest/gtest.h>

#include <cstring>

namespace {

QString dbc(const char *name)
{
    return QString::fromStdString(vyr_test::testdata_dir() + "/dbc/cantools/tests/files/dbc/" + name);
}

QString hex(const char *message, const std::vector<uint8_t> &data)
{
    QString text = QString::fromLatin1(message) + ':';
    for (uint8_t byte : data)
        text += QString::asprintf("%02x", byte);
    return text;
}

std::vector<uint8_t> two_floats(float low, float high)
{
    std::vector<uint8_t> data(8);
    std::memcpy(data.data(), &low, 4);
    std::memcpy(data.data() + 4, &high, 4);
    return data;
}

// Takes the samples out of the item's ring, oldest first.
std::vector<ScopeSample> take(VyrScopeSignalItem *item)
{
    std::vector<ScopeSample> samples;
    VyrMessageRing<ScopeSample> &ring = item->samples();
    while (!ring.is_rp_at_wp()) {
        samples.push_back(ring.read_record());
        ring.move_read_pointer(1);
    }
    return samples;
}

class ScopeOnTheBus : public can_test::CanFixture
{
protected:
    ~ScopeOnTheBus() override { delete scope; }
    VyrScope *scope = nullptr;
};

} // namespace

TEST_F(ScopeOnTheBus, SamplesAreTheDecodedValuesOfTheFramesAndTheCurvesShow)
{
    VYR_REQUIRE_TESTDATA();
    const QString motohawk = dbc("motohawk.dbc"), floats = dbc("floating_point.dbc");
    VyrCanIf *can = make("CAN", can_test::virtual_channel, "", {motohawk, floats});
    scope = static_cast<VyrScope *>(VyrScope::create(nullptr, nullptr));
    scope->resize(640, 360);
    scope->show();
    QApplication::processEvents();

    // Picked in the signal selection, as the user does.
    scope->open_signal_dialog();
    VyrSignalSelect *dialog = signal_select_dialog();
    ASSERT_NE(dialog, nullptr);
    const QStringList wanted = {"motohawk.ExampleMessage.Temperature", "floating_point.Message2.Signal1",
                                "floating_point.Message2.Signal2"};
    QTreeWidget *list = dialog->signal_list();
    for (const QString &name : wanted)
        for (int i = 0; i < list->topLevelItemCount(); ++i) {
            auto *row = static_cast<VyrSignalSelectItem *>(list->topLevelItem(i));
            if (row->signal() && name == row->signal()->name())
                dialog->doubleClicked(row);
        }
    ASSERT_EQ(scope->item_count(), 3);
    for (int i = 0; i < 3; ++i)
        ASSERT_NE(scope->item(i)->curve(), nullptr) << i;

    scope->startup();
    can_test::Measurement measurement({can});
    ASSERT_EQ(measurement.start(), 0);
    can_test::BusNode node;
    const std::vector<std::vector<uint8_t>> temperatures = {
        {0x80, 0x4A, 0x0F, 0, 0, 0, 0, 0}, {0xC0, 0x06, 0, 0, 0, 0, 0, 0}, {0x87, 0xFF, 0, 0, 0, 0, 0, 0}};
    const std::vector<std::vector<uint8_t>> float_pairs = {two_floats(1.5f, -2.25f), two_floats(-1e3f, 3.75f),
                                                           two_floats(0.125f, 1e6f)};
    // Each pair goes out once the pair before it reached the scope, and 30 ms
    // later: so the daemon stamps the pairs apart, however late a loaded
    // machine lets it run, and the curves have a length to show.
    const auto arrived = [&](uint32_t pairs) {
        return can_test::eventually([&] {
            return scope->item(0)->samples().record_count() == pairs &&
                scope->item(2)->samples().record_count() == pairs;
        });
    };
    for (size_t i = 0; i < temperatures.size(); ++i) {
        if (i > 0) {
            ASSERT_TRUE(arrived(uint32_t(i)));
            std::this_thread::sleep_for(std::chrono::milliseconds(30));
        }
        node.send(0x1F0, 0, temperatures[i]);
        node.send(0x401, 0, float_pairs[i]);
    }
    ASSERT_TRUE(arrived(3));
    for (int tick = 0; tick < 3; ++tick) {
        scope->update_signals();
        QApplication::processEvents();
    }
    const QImage picture = scope->grab().toImage();
    scope->stop();
    measurement.stop();

    QStringList payloads;
    for (size_t i = 0; i < temperatures.size(); ++i)
        payloads << hex("ExampleMessage", temperatures[i]);
    const auto motohawk_decoded = can_test::canmatrix_decode(motohawk, payloads);
    payloads.clear();
    for (const auto &pair : float_pairs)
        payloads << hex("Message2", pair);
    const auto floats_decoded = can_test::canmatrix_decode(floats, payloads);
    if (motohawk_decoded.size() != 3 || floats_decoded.size() != 3)
        GTEST_SKIP() << "python3-canmatrix did not run";
    const std::vector<ScopeSample> temperature = take(scope->item(0));
    const std::vector<ScopeSample> first = take(scope->item(1));
    const std::vector<ScopeSample> second = take(scope->item(2));
    ASSERT_EQ(temperature.size(), 3u);
    ASSERT_EQ(first.size(), 3u);
    ASSERT_EQ(second.size(), 3u);
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_NEAR(temperature[i].value, motohawk_decoded[i].at("ExampleMessage.Temperature"), 1e-9) << i;
        EXPECT_EQ(first[i].value, floats_decoded[i].at("Message2.Signal1")) << i;
        EXPECT_EQ(second[i].value, floats_decoded[i].at("Message2.Signal2")) << i;
        // The frames' own stamps: the signals of one frame share it, and each
        // pair went out after the one before it had arrived.
        EXPECT_EQ(first[i].time, second[i].time) << i;
        EXPECT_GE(first[i].time, temperature[i].time) << i;
        if (i > 0) {
            EXPECT_GT(temperature[i].time, first[i - 1].time) << i;
        }
    }

    // Each curve leaves pixels of its colour in the plot.
    const QRect plot = scope->graph()->plot_rect();
    const QPoint offset = scope->graph()->mapTo(scope, QPoint(0, 0));
    for (int i = 0; i < 3; ++i) {
        const QRgb colour = scope->item(i)->curve()->color().rgb();
        int pixels = 0;
        for (int y = plot.top(); y <= plot.bottom(); ++y)
            for (int x = plot.left(); x <= plot.right(); ++x)
                pixels += picture.pixel(offset + QPoint(x, y)) == colour;
        EXPECT_GT(pixels, 0) << i;
    }
}
