// The statistics window's cells between measurements: the text a value
// gives, the blank cells of a new start, a paused window, which interfaces
// get a line, and what its context menu offers online and offline. Values
// are handed to the cells as the interface's thread hands them.
#include "../interfaces/can_test_support.h"
#include "core/statistic_signal_record.h"
#include "windows/statistics/vyr_bus_statistic.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QMenu>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>

namespace {

using namespace can_test;

class StatisticCells : public CanFixture
{
protected:
    // Hands the value to the window's cell of the column on the interface's line.
    static void deliver(VyrBusStatistic &window, const QString &id, int column, int value)
    {
        SignalValue record;
        record.set_int(value);
        for (const auto &cell : window.line(id)->cells())
            if (cell->kind() == column)
                cell->value_changed(record);
    }
    static QString text(VyrBusStatistic &window, const QString &id, int column)
    {
        return window.line(id)->text(column);
    }
};

TEST_F(StatisticCells, CellTextFollowsTypeFlagAndValueText)
{
    VyrCanIf *can = make("CAN");
    SignalRecord *status = can->statistic_signal(VyrCanIf::BusStatus);
    SignalRecord *load = can->statistic_signal(VyrCanIf::BusLoad);
    ASSERT_TRUE(status->flags() & 0x1);
    const uint32_t status_flags = status->flags();
    const struct
    {
        const char *name;
        SignalRecord *signal;
        uint32_t flags;
        int type;
        double value;
        const char *text;
    } cases[] = {
        {"word of the state", status, status_flags, SignalValue::Int, 0, "BUSOFF"},
        {"no word for the value", status, status_flags, SignalValue::Int, 7, "7"},
        {"flag clear: the number", status, status_flags & ~1u, SignalValue::Int, 3, "3"},
        {"negative integer", load, 0, SignalValue::Int, -12, "-12"},
        {"double", load, 0, SignalValue::Double, 0.25, "0.25"},
        {"small double", load, 0, SignalValue::Double, 1e-7, "1e-07"},
        {"other type: empty", load, 0, 9, 5, ""},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const int type = c.signal->value_type();
        c.signal->set_flags(c.flags);
        c.signal->set_value_type(c.type);
        SignalValue value;
        if (c.type == SignalValue::Double)
            value.set_double(c.value);
        else
            value.set_int(int32_t(c.value));
        EXPECT_EQ(VyrBusStatistic::cell_text(*c.signal, value), c.text);
        c.signal->set_value_type(type);
    }
    status->set_flags(status_flags);
}

TEST_F(StatisticCells, ANewStartBlanksTheCellsAndPauseHoldsNewValues)
{
    make("CAN");
    VyrBusStatistic window(nullptr);
    window.startup();
    deliver(window, "CAN1", VyrBusStatistic::StdMessages, 5);
    window.update_signals();
    EXPECT_EQ(text(window, "CAN1", VyrBusStatistic::StdMessages), "5");
    window.stop();
    EXPECT_EQ(text(window, "CAN1", VyrBusStatistic::StdMessages), "5") << "the last values stay";

    // A value left from before the start is not shown.
    deliver(window, "CAN1", VyrBusStatistic::ExtMessages, 9);
    window.startup();
    for (int column : {VyrBusStatistic::StdMessages, VyrBusStatistic::ExtMessages}) {
        EXPECT_EQ(text(window, "CAN1", column), "-") << column;
    }
    window.update_signals();
    EXPECT_EQ(text(window, "CAN1", VyrBusStatistic::ExtMessages), "-");

    auto *pause = window.findChild<QToolButton *>(QStringLiteral("pause_button"));
    ASSERT_NE(pause, nullptr);
    pause->setChecked(true);
    deliver(window, "CAN1", VyrBusStatistic::StdMessages, 7);
    window.update_signals();
    EXPECT_EQ(text(window, "CAN1", VyrBusStatistic::StdMessages), "-");
    pause->setChecked(false);
    window.update_signals();
    EXPECT_EQ(text(window, "CAN1", VyrBusStatistic::StdMessages), "7");
    window.stop();
}

TEST_F(StatisticCells, OnlyCanAndReceiveOnlyInterfacesGetALine)
{
    VyrBusStatistic window(nullptr);
    const struct
    {
        const char *type;
        bool line;
    } cases[] = {{"LIN", false}, {"CAN-RX", true}, {"CAN", true}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.type);
        VyrCanIf *made = make(c.type);
        const QString id = QString::fromStdString(made->make_id());
        window.add_interface(id);
        EXPECT_EQ(window.line(id) != nullptr, c.line);
        VyrBusStatistic fresh(nullptr);
        EXPECT_EQ(fresh.line(id) != nullptr, c.line);
    }
}

TEST_F(StatisticCells, ContextMenuOffersPropertiesOfflineAndPauseOnline)
{
    make("CAN");
    VyrBusStatistic window(nullptr);
    window.show();
    // The entries' enabled states as the menu shows them; the menu is closed then.
    const auto entries = [&window] {
        std::map<QString, bool> enabled;
        QTimer::singleShot(0, [&enabled] {
            auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
            if (!menu)
                return;
            for (QAction *action : menu->actions())
                if (!action->text().isEmpty())
                    enabled[action->text()] = action->isEnabled();
            menu->close();
        });
        QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(10, 10), window.mapToGlobal(QPoint(10, 10)));
        QApplication::sendEvent(&window, &event);
        return enabled;
    };
    const std::map<QString, bool> offline = entries();
    EXPECT_EQ(offline, (std::map<QString, bool>{{"Properties", true}, {"Detach from Workspace", true}, {"Pause", false}}));
    window.startup();
    const std::map<QString, bool> online = entries();
    EXPECT_EQ(online, (std::map<QString, bool>{{"Properties", false}, {"Detach from Workspace", true}, {"Pause", true}}));
    window.stop();
}

} // namespace
