#include "window_test_shell.h"

#include "core/signal_record.h"
#include "core/vyr_signal_list.h"
#include "windows/base/header_tool_tip.h"
#include "windows/base/signal_value_listener.h"
#include "windows/base/vyr_select_key.h"
#include "windows/base/vyr_signal_display_list.h"

#include <QApplication>
#include <QComboBox>
#include <QHelpEvent>
#include <QToolTip>
#include <QHeaderView>
#include <QSignalSpy>
#include <QStandardItemModel>
#include <gtest/gtest.h>

#include <memory>

namespace {

using vyr_test::TestInterface;

class DisplayList : public VyrSignalDisplayList
{
public:
    using VyrSignalDisplayList::VyrSignalDisplayList;
    SignalDisplayEntry *create_entry(SignalRecord *signal) override { return new SignalDisplayEntry(signal); }
};

class SignalWindow : public vyr_test::TestWindow
{
public:
    SignalWindow() : TestWindow(nullptr, "Signals"), list(this) {}
    VyrSignalDisplayList *signal_display_list() const override { return const_cast<DisplayList *>(&list); }
    DisplayList list;
};

// An interface "SIG1" with the signals "speed" (defined) and "rpm".
class DisplayListTest : public ::testing::Test
{
protected:
    DisplayListTest()
    {
        auto signals_of_if = std::make_unique<VyrSignalList>();
        for (const char *name : {"speed", "rpm"}) {
            auto *signal = new SignalRecord;
            signal->set_name(name);
            signal->set_owner(&interface);
            signals_of_if->insert(signal);
        }
        signals_of_if->find("speed")->set_flags(0x1);
        interface.set_signal_list(std::move(signals_of_if));
        speed = interface.signal_list()->find("speed");
        rpm = interface.signal_list()->find("rpm");
    }

    TestInterface interface {
        "SIG"
    };
    SignalRecord *speed;
    SignalRecord *rpm;
    SignalWindow window;
    const std::vector<SignalDisplayEntry *> &entries() const { return window.list.entries(); }
};

TEST_F(DisplayListTest, InsertedSignalsAreUsedOnceEachAndRemovedByName)
{
    QSignalSpy changed(&window.list, &VyrSignalDisplayList::signal_list_changed);
    window.insert_signal("SIG1", "speed");
    window.insert_signal("SIG1", "speed");
    window.insert_signal("SIG1", "missing");
    window.insert_signal("NONE1", "speed"); // no such interface: nothing
    ASSERT_EQ(entries().size(), 3u);
    EXPECT_TRUE(entries()[0]->signal_flag());
    EXPECT_EQ(entries()[2]->signal(), nullptr) << "a placeholder";
    EXPECT_EQ(window.list.cursor(), entries()[2]);
    EXPECT_EQ(speed->use_count(), 2);
    EXPECT_EQ(changed.count(), 3);

    EXPECT_EQ(window.remove_signal("SIG1", "speed"), 2);
    EXPECT_EQ(speed->use_count(), 0);
    EXPECT_EQ(window.remove_signal("SIG1", "missing"), 0) << "placeholders stay";
    EXPECT_EQ(entries().size(), 1u);
}

TEST_F(DisplayListTest, DeleteSelectedTakesTheSelectionElseTheCursorButNoPlaceholder)
{
    window.insert_signal("SIG1", "speed");
    window.insert_signal("SIG1", "rpm");
    window.insert_signal("SIG1", "missing");
    entries()[0]->set_selected(true);
    entries()[2]->set_selected(true);
    window.list.delete_selected();
    ASSERT_EQ(entries().size(), 2u);
    EXPECT_EQ(entries()[0]->signal(), rpm);
    EXPECT_EQ(speed->use_count(), 0);

    // Nothing selected: the cursor entry goes, but not a placeholder.
    EXPECT_EQ(window.list.cursor(), entries()[1]);
    window.list.delete_selected();
    EXPECT_EQ(entries().size(), 2u);
    window.list.set_cursor(entries()[0]);
    window.list.delete_selected();
    ASSERT_EQ(entries().size(), 1u);
    EXPECT_EQ(window.list.cursor(), nullptr);
    EXPECT_EQ(rpm->use_count(), 0);
}

TEST_F(DisplayListTest, SignalChangesAndRemovedInterfacesReachTheEntries)
{
    window.insert_signal("SIG1", "rpm");
    window.insert_signal("SIG1", "missing");
    EXPECT_FALSE(entries()[0]->signal_flag());
    rpm->set_flags(0x1);
    window.signal_changed("SIG1", "rpm");
    EXPECT_TRUE(entries()[0]->signal_flag());

    window.remove_interface("SIG1");
    ASSERT_EQ(entries().size(), 1u);
    EXPECT_EQ(entries()[0]->signal(), nullptr);
    EXPECT_EQ(rpm->use_count(), 1) << "the interface takes its signals with it";
    rpm->release_use();
}

TEST(VyrSelectKey, ShowsAndReturnsKeyCodes)
{
    const struct
    {
        int code;
        const char *modifier;
        const char *key;
        const char *text;
        int returned;
    } cases[] = {
        {0x400000 + 0x1034, "CTRL", "F5", "CTRL+F5", 0x401034},
        {0x800000 + 0x20, "ALT", "SPACE", "ALT+SPACE", 0x800020},
        {0x200000 + 0x39, "SHIFT", "9", "SHIFT+9", 0x200039},
        {0x41, "", "A", "A", 0x41},
        {0x600000 + 0x42, "", "B", "B", 0x42}, // no single modifier
    };
    VyrSelectKey select(nullptr, 0);
    EXPECT_EQ(select.key_box()->count(), 50);
    for (const auto &c : cases) {
        select.set_key(c.code);
        EXPECT_EQ(select.modifier_box()->currentText(), c.modifier) << std::hex << c.code;
        EXPECT_EQ(select.key_box()->currentText(), c.key) << std::hex << c.code;
        EXPECT_EQ(select.text(), c.text) << std::hex << c.code;
        EXPECT_EQ(select.key(), c.returned) << std::hex << c.code;
    }
    select.set_key(0x400000 + 0x1005); // no such key: the key box stays
    EXPECT_EQ(select.key_box()->currentText(), "B");
    EXPECT_EQ(select.key(), 0x400042);
}

TEST(HeaderToolTip, TheFirstSectionHoldingThePointGivesItsTip)
{
    QStandardItemModel model(1, 3);
    QHeaderView header(Qt::Horizontal);
    header.setModel(&model);
    header.resize(400, 20);
    header.resizeSection(0, 50);
    header.resizeSection(1, 60);
    header.resizeSection(2, 70);
    auto *tips = new HeaderToolTip(&header);
    tips->set_tip(0, "first");
    tips->set_tip(2, "old");
    tips->set_tip(2, "third");

    const struct
    {
        int x;
        bool shown;
        const char *text;
        QRect rect;
    } cases[] = {
        {0, true, "first", QRect(QPoint(0, 0), QPoint(49, 19))},
        {49, true, "first", QRect(QPoint(0, 0), QPoint(49, 19))},
        {50, false, "", QRect()}, // section 1 has no tip
        {110, true, "third", QRect(QPoint(110, 0), QPoint(179, 19))},
        {180, false, "", QRect()}, // right of the last section
    };
    header.show();
    QHelpEvent help(QEvent::ToolTip, QPoint(120, 5), header.viewport()->mapToGlobal(QPoint(120, 5)));
    QApplication::sendEvent(header.viewport(), &help);
    EXPECT_EQ(QToolTip::text(), "third") << "the header's tool-tip event shows the tip";

    for (const auto &c : cases) {
        QString text;
        QRect rect;
        EXPECT_EQ(tips->tip_at(QPoint(c.x, 5), &text, &rect), c.shown) << c.x;
        if (c.shown) {
            EXPECT_EQ(text, c.text) << c.x;
            EXPECT_EQ(rect, c.rect) << c.x;
        }
    }
}

TEST(SignalValueListener, KeepsTheLastValueUntilTheOwnerReadsIt)
{
    SignalRecord signal;
    SignalValueListener listener(7, &signal);
    bool changed = true;
    EXPECT_EQ(listener.last_value(false, &changed).type, 0u);
    EXPECT_FALSE(changed);
    SignalValue value;
    value.set_double(2.5);
    listener.value_changed(value);
    value.set_int(3);
    listener.value_changed(value);
    const SignalValue last = listener.last_value(true, &changed);
    EXPECT_TRUE(changed);
    EXPECT_EQ(last.type, uint32_t(SignalValue::Int));
    EXPECT_EQ(last.int_value, 3);
    listener.last_value(false, &changed);
    EXPECT_FALSE(changed);
    EXPECT_EQ(listener.kind(), 7);
    EXPECT_EQ(listener.signal(), &signal);
}

} // namespace
