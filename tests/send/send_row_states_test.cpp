// What the send window's rows show and allow around their runs: the Action
// label that the Rate cell gives, a running row edited, the measurement's
// stop and next start, a paused window, and rows whose interface is not
// active. The test steps the timer wheel itself.
#include "../interfaces/can_test_support.h"
#include "core/key_codes.h"
#include "core/vyr_global_accel.h"
#include "core/vyr_trigger.h"
#include "windows/send/can_send_table.h"
#include "windows/send/table_button.h"
#include "windows/send/vyr_can_send.h"

#include <QToolButton>
#include <gtest/gtest.h>

namespace {

using namespace can_test;

class SendRowStates : public CanFixture
{
protected:
    void SetUp() override
    {
        VyrTriggerList::set_instance(&triggers);
        VyrGlobalAccel::set_instance(&keys);
        window = std::make_unique<VyrCanSend>(nullptr);
    }
    void TearDown() override
    {
        if (measurement)
            measurement->stop();
        if (window->running())
            window->stop();
        window.reset();
        measurement.reset();
        VyrGlobalAccel::set_instance(nullptr);
        VyrTriggerList::set_instance(nullptr);
    }
    VyrCanIf *make_active()
    {
        VyrCanIf *can = make("CAN");
        can->set_active(true);
        return can;
    }
    void start(VyrCanIf *can)
    {
        window->startup();
        measurement.reset(); // an earlier one stops its interfaces as it goes
        measurement = std::make_unique<Measurement>(std::vector<VyrCanIf *>{can});
        ASSERT_EQ(measurement->start(), 0);
    }
    void edit(int row, int column, const QString &text)
    {
        window->table()->item(row, column)->setText(text);
        window->value_changed(row, column);
    }
    QString cell(int row, int column) const { return window->table()->item(row, column)->text(); }
    TableButton *button(int row) const { return window->button(row); }

    VyrTriggerList triggers;
    VyrGlobalAccel keys{VyrGlobalAccel::program_bucket_count};
    std::unique_ptr<VyrCanSend> window;
    std::unique_ptr<Measurement> measurement;
};

TEST_F(SendRowStates, RateCellGivesTheActionLabel)
{
    make_active();
    window->add_message();
    const struct
    {
        const char *rate;
        const char *label;
        unsigned value;
    } cases[] = {
        {"1", "Start", 1}, {"0", "Send", 0}, {"10000000", "Start", 10000000}, {"250", "Start", 250}, {"0", "Send", 0},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.rate);
        edit(0, VyrCanSend::Rate, QString::fromLatin1(c.rate));
        EXPECT_EQ(button(0)->text(), c.label);
        EXPECT_EQ(button(0)->message()->rate(), c.value);
    }
}

TEST_F(SendRowStates, ARunningRowKeepsStopWhenItsRateChangesAndEndsAtRateZero)
{
    VyrCanIf *can = make_active();
    window->add_message();
    edit(0, VyrCanSend::Rate, QStringLiteral("10"));
    start(can);
    CanSendMessage *message = button(0)->message();
    button(0)->click();
    measurement->wheel.advance(10);
    window->update_signals();
    ASSERT_EQ(button(0)->text(), "Stop");
    // A new rate takes effect at the next frame; the run goes on.
    edit(0, VyrCanSend::Rate, QStringLiteral("100"));
    EXPECT_EQ(button(0)->text(), "Stop");
    EXPECT_TRUE(message->periodic_active());
    measurement->wheel.advance(20);
    EXPECT_EQ(message->transmitted(), 2u);
    measurement->wheel.advance(119);
    EXPECT_EQ(message->transmitted(), 2u);
    measurement->wheel.advance(120);
    EXPECT_EQ(message->transmitted(), 3u);
    // Rate 0 ends the run at once.
    edit(0, VyrCanSend::Rate, QStringLiteral("0"));
    EXPECT_EQ(button(0)->text(), "Send");
    EXPECT_FALSE(message->periodic_active());
    EXPECT_FALSE(message->armed());
    measurement->wheel.advance(1000);
    EXPECT_EQ(message->transmitted(), 3u);
}

TEST_F(SendRowStates, StopEndsTheRunsAndTheNextStartCountsFromZero)
{
    VyrCanIf *can = make_active();
    window->add_message(); // single frames
    window->add_message(); // periodic
    edit(1, VyrCanSend::Rate, QStringLiteral("10"));
    start(can);
    button(0)->click();
    button(1)->click();
    measurement->wheel.advance(30);
    window->update_signals();
    EXPECT_EQ(cell(0, VyrCanSend::Transmitted), "1");
    EXPECT_EQ(cell(1, VyrCanSend::Transmitted), "3");
    EXPECT_EQ(button(1)->text(), "Stop");

    measurement->stop();
    window->stop();
    const struct
    {
        int row;
        const char *label;
    } stopped[] = {{0, "Send"}, {1, "Start"}};
    for (const auto &s : stopped) {
        SCOPED_TRACE(s.row);
        EXPECT_FALSE(button(s.row)->isEnabled());
        EXPECT_EQ(button(s.row)->text(), s.label);
        EXPECT_FALSE(button(s.row)->message()->periodic_active());
        EXPECT_FALSE(button(s.row)->message()->armed());
    }

    start(can);
    window->update_signals();
    for (int row : {0, 1}) {
        SCOPED_TRACE(row);
        EXPECT_TRUE(button(row)->isEnabled());
        EXPECT_EQ(cell(row, VyrCanSend::Transmitted), "0");
        EXPECT_EQ(button(row)->message()->transmitted(), 0u);
    }
    EXPECT_EQ(button(1)->text(), "Start");
}

TEST_F(SendRowStates, APausedWindowLeavesItsCellsUntilResumed)
{
    VyrCanIf *can = make_active();
    window->add_message();
    start(can);
    auto *pause = window->findChild<QToolButton *>(QStringLiteral("pause_button"));
    ASSERT_NE(pause, nullptr);
    pause->setChecked(true);
    button(0)->click();
    window->update_signals();
    EXPECT_EQ(cell(0, VyrCanSend::Transmitted), "0");
    pause->setChecked(false);
    window->update_signals();
    EXPECT_EQ(cell(0, VyrCanSend::Transmitted), "1");
}

TEST_F(SendRowStates, RowsOnAnInactiveInterfaceStayDisabledInAMeasurement)
{
    VyrCanIf *can = make_active();
    VyrCanIf *idle = make("CAN"); // not active
    window->add_message();
    window->add_message();
    auto *channel = static_cast<ChannelItem *>(window->table()->item(1, VyrCanSend::Channel));
    channel->set_interface(idle);
    window->value_changed(1, VyrCanSend::Channel);
    start(can);
    EXPECT_TRUE(button(0)->isEnabled());
    EXPECT_FALSE(button(1)->isEnabled());
    // Moved during the measurement, the row follows its new interface.
    const struct
    {
        VyrCanIf *interface;
        bool enabled;
    } moves[] = {{can, true}, {idle, false}, {nullptr, false}, {can, true}};
    for (const auto &m : moves) {
        channel->set_interface(m.interface);
        window->value_changed(1, VyrCanSend::Channel);
        EXPECT_EQ(button(1)->isEnabled(), m.enabled) << (m.interface ? m.interface->name() : std::string("none"));
    }
}

TEST_F(SendRowStates, AKeySendsEveryRowBoundToIt)
{
    VyrCanIf *can = make_active();
    const long ctrl_k = key_modifier_ctrl | 'K';
    const struct
    {
        const char *id;
        long key;
        unsigned sent;
    } rows[] = {{"101h", ctrl_k, 1}, {"102h", ctrl_k, 1}, {"103h", key_modifier_ctrl | 'L', 0}};
    for (const auto &r : rows) {
        const int row = window->add_message(can, QString::fromLatin1(r.id), 8, QStringLiteral("00 00 00 00 00 00 00 00"),
                                            0, 0, r.key, QString(), nullptr);
        for (int column : {VyrCanSend::Channel, VyrCanSend::Identifier, VyrCanSend::Key})
            window->value_changed(row, column);
    }
    start(can);
    keys.set_enabled(true);
    keys.handle_key('K', key_state_ctrl);
    for (int row = 0; row < 3; ++row) {
        EXPECT_EQ(button(row)->message()->transmitted(), rows[row].sent) << rows[row].id;
    }
    keys.set_enabled(false);
}

} // namespace
