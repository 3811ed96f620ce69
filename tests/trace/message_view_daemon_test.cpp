// The message view filled from the vrbus daemon: frames that a second handle
// on the virtual card writes reach the view's store, attached to the CAN
// interface as a message listener, on its receive thread; the cursor and
// selection are driven by keys, the selected identifiers are filtered out of
// the live traffic, and the fixed-position export writes what arrived.
#include "../interfaces/can_test_support.h"
#include "windows/trace/vyr_message_view.h"
#include "windows/trace/vyr_trace_message_queue.h"

#include <QTest>
#include <QTextStream>
#include <gtest/gtest.h>

namespace {

using namespace can_test;

class MessageViewOnTheBus : public CanFixture
{
protected:
    void SetUp() override
    {
        can = make("CAN");
        view = std::make_unique<VyrMessageView>(nullptr, "message_view");
        view->resize(900, 300);
        view->show();
        ASSERT_EQ(view->interface(), can);
        can->add_message_listener(&view->store()->intake());
        measurement = std::make_unique<Measurement>(std::vector<VyrCanIf *>{can});
        ASSERT_EQ(measurement->start(), 0);
    }
    void TearDown() override
    {
        measurement.reset();
        can->remove_message_listener(&view->store()->intake());
        view.reset();
    }

    // Sends the frames and lets the view take them over until the table has that many lines.
    void send_lines(const std::vector<uint32_t> &ids, int lines)
    {
        for (uint32_t id : ids)
            node.send(id, id > 0x7FF ? uint32_t(VyrCanMessage::Extended) : 0u, {uint8_t(id), 0xFF});
        ASSERT_TRUE(eventually([&] {
            view->update_messages();
            return view->store()->lines().line_count() == lines;
        }));
    }

    VyrCanIf *can = nullptr;
    std::unique_ptr<VyrMessageView> view;
    std::unique_ptr<Measurement> measurement;
    BusNode node;
};

TEST_F(MessageViewOnTheBus, SelectedIdentifiersAreFilteredOutOfTheTraffic)
{
    view->extended_filters().set_filter_type(VyrIdFilterList::pass_listed);
    view->extended_filters().add_range(0x18FEF100, 0x18FEF1FF);
    view->setup_filters();
    send_lines({0x100, 0x200, 0x18FEF101, 0x300}, 4);

    // Line 2 and 3 selected by Shift+Down from line 2, line 4 by a click.
    view->set_cursor_pos(2);
    QTest::keyClick(view->viewport(), Qt::Key_Down, Qt::ShiftModifier);
    QTest::keyClick(view->viewport(), Qt::Key_Down, Qt::ShiftModifier);
    QTest::keyClick(view->viewport(), Qt::Key_Down);
    EXPECT_EQ(view->cursor_pos(), 4);
    ASSERT_NE(view->current_message(), nullptr);
    EXPECT_EQ(view->current_message()->id, 0x300u);
    QTest::keyClick(view->viewport(), Qt::Key_Space);
    EXPECT_EQ(view->fixed_selected_count(), 3);

    view->set_measurement_running(true);
    view->add_selected_identifiers_to_filter();
    EXPECT_NE(view->standard_filters().find_range(0x200), nullptr);
    EXPECT_NE(view->standard_filters().find_range(0x300), nullptr);
    EXPECT_EQ(view->extended_filters().find_range(0x18FEF101), nullptr);

    // The filtered identifiers no longer reach the table; the others still do.
    view->store()->clear();
    view->setup_filters();
    send_lines({0x200, 0x18FEF101, 0x300, 0x100, 0x18FEF102}, 2);
    EXPECT_EQ(view->store()->lines().read_line(1).message.id, 0x100u);
    EXPECT_EQ(view->store()->lines().read_line(2).message.id, 0x18FEF102u);
}

TEST_F(MessageViewOnTheBus, FixedTextWritesTheFramesOfTheBus)
{
    send_lines({0x123, 0x18FEF101}, 2);
    QString text;
    QTextStream out(&text);
    view->write_fixed_text(out, false);
    out.flush();
    const QStringList lines = text.split('\n');
    ASSERT_EQ(lines.size(), 11); // head of seven lines, two messages, the foot, and the end
    const VyrCanMessage first = view->store()->lines().read_line(1).message;
    EXPECT_EQ(lines[7].toStdString(),
              QString::asprintf("%12.3f  ", first.time * 0.001).toStdString() + std::string(17, ' ') + "291" +
                  "       " + "      2  " + "23 ff " + std::string(20, ' '));
    EXPECT_TRUE(lines[8].contains("           419361025  X          2  01 ff ")) << lines[8].toStdString();
}

TEST_F(MessageViewOnTheBus, ScrollingListIsSearchedAndWrittenAsLogText)
{
    view->set_scroll_mode(true);
    for (uint32_t id : {0x100u, 0x7e0u, 0x100u, 0x18fef101u})
        node.send(id, id > 0x7FF ? uint32_t(VyrCanMessage::Extended) : 0u, {0x11, 0x22});
    ASSERT_TRUE(eventually([&] {
        view->update_messages();
        return view->message_number() == 4;
    }));
    view->header_clicked(VyrMessageView::Identifier); // hexadecimal
    view->search("7e0", false);
    EXPECT_EQ(view->cursor_pos(), 2);
    view->search("fef1", false); // the identifier column shows the last seven digits
    EXPECT_EQ(view->cursor_pos(), 4);
    QTest::keyClick(view->viewport(), Qt::Key_Space);
    QTest::keyClick(view->viewport(), Qt::Key_Up);
    QTest::keyClick(view->viewport(), Qt::Key_Up);
    QTest::keyClick(view->viewport(), Qt::Key_Space);
    EXPECT_EQ(view->scroll_selected_count(), 2);

    QString text;
    QTextStream out(&text);
    view->write_log_text(out, true);
    out.flush();
    const QStringList lines = text.split('\n');
    ASSERT_EQ(lines.size(), 11);
    EXPECT_TRUE(lines[7].endsWith(QString(17, ' ') + "7e0  " + "     " + "   " + "  2  11 22 " + QString(20, ' ') +
                                  "        2 "))
        << lines[7].toStdString();
    EXPECT_TRUE(lines[8].endsWith(QString(12, ' ') + "18fef101  X    " + "   " + "  2  11 22 " + QString(20, ' ') +
                                  "        4 "))
        << lines[8].toStdString();
}

} // namespace
