// The signal view and the tune window offscreen: the value check of the edit
// field, the value texts, the edit flow from the field to the commit, keys,
// clicks, the context menu, the configuration, and values arriving from
// another thread while the view paints and commits.
#include "../windows/window_test_shell.h"

#include "core/vyr_signal_list.h"
#include "settings/qtb_config.h"
#include "windows/tune/vyr_signal_view.h"
#include "windows/tune/vyr_tune.h"

#include <QLineEdit>
#include <QMenu>
#include <QTest>
#include <QToolButton>
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <thread>

namespace {

// A signal whose value 1 reads "On".
class DescribedSignal : public SignalRecord
{
public:
    const char *value_text(int value) const override { return value == 1 ? "On" : nullptr; }
};

SignalValue int_value(int v)
{
    SignalValue value;
    value.set_int(v);
    return value;
}

SignalValue double_value(double v)
{
    SignalValue value;
    value.set_double(v);
    return value;
}

class TuneTest : public ::testing::Test
{
protected:
    TuneTest()
    {
        add("Speed", SignalRecord::Output, SignalValue::Int);
        add("Ratio", SignalRecord::Output, SignalValue::Double);
        add("Engine.Rpm", SignalRecord::Input, SignalValue::Int);
        tune = static_cast<VyrTune *>(VyrTune::create(shell.workspace, nullptr));
        for (const char *name : {"Speed", "Ratio", "Engine.Rpm"})
            tune->insert_signal(QString::fromStdString(interface.make_id()), QString::fromLatin1(name));
        view()->resize(300, 200);
        shell.show();
    }
    ~TuneTest() override
    {
        if (tune->running())
            tune->stop();
        delete tune;
    }

    SignalRecord *add(const char *name, int direction, int type, SignalRecord *signal = new SignalRecord)
    {
        signal->set_name(name);
        signal->set_direction(direction);
        signal->set_value_type(type);
        signal->add_flags(SignalRecord::DefinedByCompile);
        signal->set_owner(&interface);
        interface.signal_list()->insert(signal);
        return signal;
    }

    VyrSignalView *view() const { return tune->view(); }
    VyrSignalViewItem *item(int i) const { return view()->item(i); }
    QLineEdit *field() const { return tune->edit_field(); }
    QToolButton *button(const char *name) const { return tune->findChild<QToolButton *>(QLatin1String(name)); }
    void put_cursor(int i) { view()->display_list()->set_cursor(item(i)); }
    QPoint row_center(int i) const
    {
        return QPoint(20, item(i)->rect.center().y() - 0);
    }
    void click(int i, Qt::KeyboardModifiers modifiers = Qt::NoModifier, Qt::MouseButton button = Qt::LeftButton)
    {
        QTest::mouseClick(view()->viewport(), button, modifiers, row_center(i));
    }
    std::vector<bool> selection() const
    {
        std::vector<bool> selected;
        for (int i = 0; i < view()->item_count(); ++i)
            selected.push_back(item(i)->selected());
        return selected;
    }
    // Red pixels in the item's row of the painted view.
    int red_pixels(int i)
    {
        const QImage image = view()->viewport()->grab().toImage();
        int red = 0;
        for (int y = item(i)->rect.top(); y < item(i)->rect.bottom(); ++y)
            for (int x = 0; x < image.width(); ++x)
                if (image.pixelColor(x, y) == QColor(Qt::red))
                    ++red;
        return red;
    }

    vyr_test::WindowTestShell shell;
    vyr_test::TestInterface interface{"TUNE"};
    VyrTune *tune = nullptr;
};

} // namespace

TEST(SignalValueValidator, AcceptsHexBinaryAndDecimalIntegersOnly)
{
    VyrSignalValueValidator validator(nullptr, "validator");
    const struct
    {
        const char *text;
        QValidator::State state;
    } cases[] = {
        {"", QValidator::Acceptable},    {"-", QValidator::Acceptable},     {"1fh", QValidator::Acceptable},
        {"1FH", QValidator::Acceptable}, {"h", QValidator::Acceptable},     {"101B", QValidator::Acceptable},
        {"-42", QValidator::Acceptable}, {"1.5", QValidator::Invalid},      {"0x1f", QValidator::Invalid},
        {"abc", QValidator::Invalid},    {"12b", QValidator::Invalid},      {"--1", QValidator::Invalid},
        {"1f", QValidator::Invalid},     {" 12", QValidator::Invalid},
    };
    for (const auto &c : cases) {
        QString text = QString::fromLatin1(c.text);
        int position = 0;
        EXPECT_EQ(validator.validate(text, position), c.state) << c.text;
    }
}

TEST_F(TuneTest, ValueTextsFollowTypeBaseAndDescriptions)
{
    SignalRecord *state = add("State", SignalRecord::Output, SignalValue::Int, new DescribedSignal);
    SignalRecord *text = add("Text", SignalRecord::Output, 7);
    const struct
    {
        SignalRecord *signal;
        int base;
        SignalValue value;
        const char *shown;
    } cases[] = {
        {interface.signal_list()->find("Speed"), 16, int_value(31), "1fH"},
        {interface.signal_list()->find("Speed"), 2, int_value(5), "101B"},
        {interface.signal_list()->find("Speed"), 10, int_value(-5), "-5"},
        {interface.signal_list()->find("Speed"), 10, double_value(7.9), "7"},
        {state, 16, int_value(1), "On"},
        {state, 16, int_value(2), "2H"},
        {interface.signal_list()->find("Ratio"), 10, double_value(3.14159265), "3.14159"},
        {interface.signal_list()->find("Ratio"), 10, int_value(4), "4"},
        {text, 10, int_value(4), "???"},
    };
    for (const auto &c : cases) {
        VyrSignalViewItem entry(c.signal);
        entry.base = c.base;
        entry.value_changed(c.value);
        EXPECT_EQ(VyrSignalView::value_text(entry), c.shown) << c.shown;
    }
    // A fresh item shows zero in the signal's type.
    EXPECT_EQ(VyrSignalView::value_text(VyrSignalViewItem(interface.signal_list()->find("Ratio"))), "0");
}

TEST_F(TuneTest, TypedValuesEditInRedAndCommitWritesThem)
{
    item(0)->base = 16;
    item(0)->value_changed(int_value(31));
    put_cursor(0);
    EXPECT_EQ(field()->text(), "1fH");
    EXPECT_TRUE(field()->isEnabled());
    EXPECT_FALSE(view()->pending());

    // The same value in another spelling is no edit.
    field()->setText("1fh");
    EXPECT_FALSE(item(0)->editing);
    EXPECT_FALSE(view()->pending());
    EXPECT_EQ(red_pixels(0), 0);

    field()->setText("20h");
    EXPECT_TRUE(item(0)->editing);
    EXPECT_EQ(item(0)->edit_value.int_value, 32);
    EXPECT_TRUE(view()->pending());
    EXPECT_EQ(VyrSignalView::value_text(*item(0)), "20H");
    EXPECT_GT(red_pixels(0), 0);
    // Commit waits for the measurement.
    EXPECT_FALSE(button("commit_button")->isEnabled());
    tune->startup();
    EXPECT_TRUE(button("commit_button")->isEnabled());

    // A text that does not convert changes nothing but the display.
    field()->setText("-");
    EXPECT_EQ(item(0)->edit_value.int_value, 32);

    QTest::mouseClick(button("commit_button"), Qt::LeftButton);
    EXPECT_FALSE(item(0)->editing);
    EXPECT_FALSE(view()->pending());
    EXPECT_EQ(item(0)->current_value().int_value, 32);
    EXPECT_FALSE(button("commit_button")->isEnabled());
    EXPECT_EQ(red_pixels(0), 0);
}

TEST_F(TuneTest, SteppedValuesEditFromTheLastEditValue)
{
    item(1)->value_changed(double_value(2.5));
    put_cursor(1);
    EXPECT_EQ(field()->text(), "2.5");
    QTest::mouseClick(button("increment_button"), Qt::LeftButton);
    QTest::mouseClick(button("increment_button"), Qt::LeftButton);
    EXPECT_EQ(field()->text(), "4.5");
    EXPECT_TRUE(item(1)->editing);
    QTest::mouseClick(button("decrement_button"), Qt::LeftButton);
    EXPECT_EQ(item(1)->edit_value.double_value, 3.5);
    // The value keeps arriving while the item edits; the view shows the edit.
    item(1)->value_changed(double_value(9.0));
    EXPECT_EQ(VyrSignalView::value_text(*item(1)), "3.5");
    // The field takes integer texts only: a double is stepped, and committed with the button.
    EXPECT_FALSE(field()->hasAcceptableInput());
    tune->startup();
    QTest::mouseClick(button("commit_button"), Qt::LeftButton);
    EXPECT_EQ(item(1)->current_value().double_value, 3.5);
    EXPECT_FALSE(view()->pending());
}

// The field's own text must not come back as an edit: a double that "%lg"
// rounds would otherwise be marked editing and the next Return would write
// the rounded value that nobody typed.
TEST_F(TuneTest, TheViewsOwnTextIsNoEdit)
{
    item(1)->value_changed(double_value(1.23456789));
    put_cursor(1);
    EXPECT_EQ(field()->text(), "1.23457");
    EXPECT_FALSE(item(1)->editing);
    EXPECT_FALSE(view()->pending());
    view()->update_outputs();
    EXPECT_EQ(item(1)->current_value().double_value, 1.23456789);
    // A step edits from the value as it is, not as the field shows it.
    view()->value_inc();
    EXPECT_TRUE(item(1)->editing);
    EXPECT_EQ(item(1)->edit_value.double_value, 2.23456789);

    // The same for an integer: Return writes only what was typed.
    item(0)->value_changed(int_value(7));
    put_cursor(0);
    field()->setText("8");
    item(0)->value_changed(int_value(9));
    QTest::keyClick(field(), Qt::Key_Return);
    EXPECT_EQ(item(0)->current_value().int_value, 8);
    EXPECT_EQ(item(1)->current_value().double_value, 2.23456789);
}

TEST_F(TuneTest, InputSignalsAndNoCursorDisableTheField)
{
    item(0)->value_changed(int_value(12));
    put_cursor(0);
    EXPECT_EQ(field()->text(), "12");
    put_cursor(2);
    // An input keeps the text and disables the field and the steps.
    EXPECT_EQ(field()->text(), "12");
    EXPECT_FALSE(field()->isEnabled());
    EXPECT_FALSE(button("increment_button")->isEnabled());
    EXPECT_FALSE(button("decrement_button")->isEnabled());
    view()->display_list()->set_cursor(nullptr);
    EXPECT_EQ(field()->text(), "");
    EXPECT_FALSE(field()->isEnabled());
}

TEST_F(TuneTest, KeysMoveTheCursorAndSpaceSelects)
{
    view()->display_list()->set_cursor(nullptr);
    QTest::keyClick(tune, Qt::Key_Up);
    EXPECT_EQ(view()->cursor_item(), item(2));
    QTest::keyClick(tune, Qt::Key_Down);
    EXPECT_EQ(view()->cursor_item(), item(2));
    QTest::keyClick(tune, Qt::Key_Up);
    EXPECT_EQ(view()->cursor_item(), item(1));
    QTest::keyClick(tune, Qt::Key_Space);
    EXPECT_EQ(selection(), (std::vector<bool>{false, true, false}));
    view()->display_list()->set_cursor(nullptr);
    QTest::keyClick(view(), Qt::Key_Down);
    EXPECT_EQ(view()->cursor_item(), item(0));
}

TEST_F(TuneTest, ClicksSelectWithAndWithoutCtrl)
{
    click(1);
    EXPECT_EQ(view()->cursor_item(), item(1));
    EXPECT_EQ(selection(), (std::vector<bool>{false, true, false}));
    click(2, Qt::ControlModifier);
    EXPECT_EQ(view()->cursor_item(), item(2));
    EXPECT_EQ(selection(), (std::vector<bool>{false, true, true}));
    click(0);
    EXPECT_EQ(selection(), (std::vector<bool>{true, false, false}));
    click(0, Qt::ControlModifier);
    EXPECT_EQ(selection(), (std::vector<bool>{false, false, false}));
    // Below the last item: everything deselected, the cursor stays.
    click(1, Qt::ControlModifier);
    QTest::mouseClick(view()->viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(20, 190));
    EXPECT_EQ(selection(), (std::vector<bool>{false, false, false}));
    EXPECT_EQ(view()->cursor_item(), item(1));
}

TEST_F(TuneTest, DisplayFormatGoesToTheSelectionElseTheCursorItem)
{
    item(0)->selected();
    item(0)->set_selected(true);
    item(2)->set_selected(true);
    put_cursor(1);
    view()->on_popup_menu_command(VyrSignalView::ShowHexadecimal);
    EXPECT_EQ(item(0)->base, 16);
    EXPECT_EQ(item(1)->base, 10);
    EXPECT_EQ(item(2)->base, 16);
    for (int i : {0, 2})
        item(i)->set_selected(false);
    view()->on_popup_menu_command(VyrSignalView::ShowBinary);
    EXPECT_EQ(item(1)->base, 2);
    view()->on_popup_menu_command(VyrSignalView::ShowDecimal);
    EXPECT_EQ(item(1)->base, 10);
    EXPECT_EQ(item(0)->base, 16);
}

TEST_F(TuneTest, MenuEntriesThatChangeTheListWaitForTheStop)
{
    for (bool running : {false, true}) {
        if (running)
            tune->startup();
        std::unique_ptr<QMenu> menu(view()->make_popup_menu());
        QStringList texts;
        for (QAction *action : menu->actions()) {
            texts << action->text();
            const int id = action->data().toInt();
            if (id == VyrSignalView::Properties || id == VyrSignalView::InsertSignals ||
                id == VyrSignalView::DeleteSignals) {
                EXPECT_EQ(action->isEnabled(), !running) << action->text().toStdString();
            }
        }
        EXPECT_EQ(texts, (QStringList{"Properties", "Detach from Workspace", "Insert Signals", "Delete Signals",
                                      "Display Format"}));
    }
    tune->stop();
    // Delete Signals takes the cursor item when none is selected.
    put_cursor(1);
    view()->on_popup_menu_command(VyrSignalView::DeleteSignals);
    ASSERT_EQ(view()->item_count(), 2);
    EXPECT_STREQ(item(1)->signal()->name(), "Engine.Rpm");
}

TEST_F(TuneTest, ConfigurationKeepsSignalsAndBases)
{
    item(0)->base = 16;
    item(2)->base = 2;
    QtbConfig config;
    tune->write_configuration(&config);
    QtbConfigGroup *group = config.get_group("Tune");
    ASSERT_NE(group, nullptr);
    QtbConfigGroup *signal_groups = group->get_group("signals");
    ASSERT_NE(signal_groups, nullptr);
    // A group without "base", one of a signal that is gone and one with a base the program never writes.
    auto without_base = std::make_unique<QtbConfigGroup>();
    without_base->write_string("sif", QString::fromStdString(interface.make_id()));
    without_base->write_string("name", "Speed");
    signal_groups->append_entry(QtbConfigValue(std::move(without_base)), nullptr);
    auto missing = std::make_unique<QtbConfigGroup>();
    missing->write_string("sif", QString::fromStdString(interface.make_id()));
    missing->write_string("name", "Gone");
    signal_groups->append_entry(QtbConfigValue(std::move(missing)), nullptr);
    auto odd_base = std::make_unique<QtbConfigGroup>();
    odd_base->write_string("sif", QString::fromStdString(interface.make_id()));
    odd_base->write_string("name", "Speed");
    odd_base->write_int("base", 8);
    signal_groups->append_entry(QtbConfigValue(std::move(odd_base)), nullptr);

    int groups = 0;
    for (QtbConfigGroup *g = signal_groups->first_group(); g; g = signal_groups->next_group())
        ++groups;
    ASSERT_EQ(groups, 6);
    std::unique_ptr<VyrDataWindow> read(VyrTune::create(nullptr, group));
    VyrSignalView *read_view = static_cast<VyrTune *>(read.get())->view();
    ASSERT_EQ(read_view->item_count(), 5);
    const char *names[] = {"Speed", "Ratio", "Engine.Rpm", "Speed", "Speed"};
    const int bases[] = {16, 10, 2, 10, 10};
    for (int i = 0; i < 5; ++i) {
        EXPECT_STREQ(read_view->item(i)->signal()->name(), names[i]);
        EXPECT_EQ(read_view->item(i)->base, bases[i]) << i;
    }
    read_view->item(0)->value_changed(int_value(31));
    EXPECT_EQ(VyrSignalView::value_text(*read_view->item(0)), "1fH");
}

TEST_F(TuneTest, WindowHasItsToolBarEntriesInOrder)
{
    EXPECT_EQ(tune->help_key(), "TuneWindow");
    EXPECT_EQ(tune->update_rate(), 250);
    EXPECT_EQ(tune->findChild<QToolButton *>(QStringLiteral("log_to_file_button")), nullptr);
    QStringList order;
    for (QAction *action : tune->tool_bar()->actions())
        if (QWidget *widget = tune->tool_bar()->widgetForAction(action); widget && !widget->objectName().isEmpty())
            order << widget->objectName();
    ASSERT_GE(order.size(), 4);
    EXPECT_EQ(order.mid(0, 4),
              (QStringList{"decrement_button", "edit_field", "increment_button", "commit_button"}));
    EXPECT_TRUE(button("increment_button")->autoRepeat());
    tune->resize(320, 260);
    tune->show();
    item(0)->value_changed(int_value(1234));
    item(2)->set_signal_flag(false);
    put_cursor(0);
    if (const char *dir = std::getenv("VYR_TEST_PNG_DIR")) {
        tune->grab().save(QString::fromLocal8Bit(dir) + "/tune_window.png");
    }
}

// Values from another thread at about 1 kHz while the GUI paints, steps and
// commits: every value the view reads is one that was written whole.
TEST_F(TuneTest, ValuesFromAnotherThreadWhileTheViewPaintsAndCommits)
{
    std::atomic<bool> done{false};
    std::thread writer([&] {
        for (int i = 0; !done; ++i) {
            item(0)->value_changed(int_value(i % 2 ? 0x55555555 : 0x2aaaaaaa));
            item(1)->value_changed(double_value(i % 2 ? 1.0 / 3.0 : 2.0 / 3.0));
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    });
    while (item(1)->current_value().double_value == 0.0)
        std::this_thread::yield();
    tune->startup();
    put_cursor(0);
    int committed = 0;
    for (int round = 0; round < 200; ++round) {
        view()->refresh(true);
        view()->viewport()->repaint();
        // Written by the other thread, or by the last commit.
        const SignalValue a = item(0)->current_value();
        EXPECT_TRUE(a.int_value == 0x55555555 || a.int_value == 0x2aaaaaaa || a.int_value == committed);
        const SignalValue b = item(1)->current_value();
        EXPECT_TRUE(b.double_value == 1.0 / 3.0 || b.double_value == 2.0 / 3.0);
        view()->value_inc();
        committed = item(0)->edit_value.int_value;
        view()->update_outputs();
    }
    done = true;
    writer.join();
}
