// A user builds a panel on a CAN interface with a description file and a
// script: inserts three items from the context menu, selects by click,
// Ctrl+click and rubber band, moves, resizes and aligns them, gives one a
// name, a caption, a signal with a range and a script action in the
// properties dialog, saves the panel and reads it into a new one.
#include "../interfaces/can_test_support.h"
#include "panel_editing_support.h"
#include "test_paths.h"
#include "tests/app/form_test_support.h"
#include "windows/panel/panel_item_type_info.h"
#include "windows/panel/panel_signal_binding.h"
#include "windows/panel/vyr_dialog_control_properties.h"
#include "windows/panel/vyr_panel_item.h"
#include "windows/panel/vyr_script_activation.h"
#include "windows/signals/vyr_signal_select.h"

#include <QCheckBox>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QToolButton>
#include <QTreeWidget>

namespace {

using namespace can_test;
using namespace panel_editing;

const QString motohawk_dbc = vyr_test::configured_testdata_dir() + "/dbc/cantools/tests/files/dbc/motohawk.dbc";
const char temperature[] = "motohawk.ExampleMessage.Temperature";

QByteArray read_file(const QString &name)
{
    QFile file(name);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QPoint centre(QWidget *widget)
{
    return widget->rect().center();
}

// What an item keeps in the file: type, geometry, name, caption, bindings, actions.
QStringList describe(const VyrPanelItem &item)
{
    QWidget *widget = item.widget();
    QStringList lines{item.type_info()->name(),
                      QStringLiteral("%1,%2 %3x%4")
                          .arg(widget->x())
                          .arg(widget->y())
                          .arg(widget->width())
                          .arg(widget->height()),
                      widget->objectName(), widget->property("text").toString()};
    for (const auto &binding : item.bindings())
        lines << QStringLiteral("%1::%2 %3 %4..%5")
                     .arg(binding->interface_id(), binding->signal_name())
                     .arg(binding->override_range)
                     .arg(binding->range_minimum)
                     .arg(binding->range_maximum);
    if (const VyrScriptActivationGroup *group = item.activation_group())
        for (const auto &list : group->lists())
            for (const auto &entry : list->entries())
                lines << list->name() + QStringLiteral(": ") + entry->interface_id() + QStringLiteral("::") +
                             entry->action_name();
    return lines;
}

class PanelEditingScenario : public CanFixture
{
protected:
    QTemporaryDir dir;
};

} // namespace

TEST_F(PanelEditingScenario, UserBuildsEditsSavesAndReadsAPanel)
{
    if (!QFileInfo::exists(motohawk_dbc))
        GTEST_SKIP() << "no test data at " << vyr_test::configured_testdata_dir().toStdString();
    VyrCanIf *can = make("CAN", virtual_channel, "", {motohawk_dbc});
    ASSERT_EQ(compile(can, "variables { int started = 0; }\non action \"Start\" { started = this; }\n"), 0);

    VyrPanel panel(nullptr);
    panel.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&panel));
    QWidget *viewport = panel.panel_window()->viewport();
    panel.lock_button()->click();
    ASSERT_FALSE(panel.is_locked());

    VyrPanelItem *button = insert_at(panel, "Control", "PushButton", QPoint(47, 33));
    VyrPanelItem *led = insert_at(panel, "Analog Signal Display (Output)", "LED", QPoint(202, 28));
    VyrPanelItem *slider = insert_at(panel, "Analog Signal Control (Input)", "Horizontal Slider", QPoint(48, 118));
    ASSERT_TRUE(button && led && slider);
    QWidget *b = button->widget();
    QWidget *l = led->widget();
    QWidget *s = slider->widget();
    EXPECT_EQ(b->pos(), QPoint(50, 30));
    EXPECT_EQ(l->pos(), QPoint(200, 30));
    EXPECT_EQ(s->pos(), QPoint(50, 120));
    for (QWidget *widget : {b, l, s}) {
        EXPECT_EQ(widget->width() % 10, 0);
        EXPECT_EQ(widget->height() % 10, 0);
    }
    ASSERT_LT(b->geometry().right(), l->x()) << "the button must not reach the LED for the bands below";

    // Click, Ctrl+click, and two rubber bands: one that encloses the slider,
    // one that encloses the button and cuts the LED.
    click(b, centre(b));
    EXPECT_EQ(panel.selection(), std::vector<VyrPanelItem *>{button});
    click(l, centre(l), Qt::ControlModifier);
    EXPECT_EQ(panel.selection(), (std::vector<VyrPanelItem *>{button, led}));
    auto band = [&](const QPoint &from, const QPoint &to) {
        move(viewport, from);
        QTest::mousePress(viewport, Qt::LeftButton, Qt::NoModifier, from);
        move(viewport, to, Qt::LeftButton);
        QTest::mouseRelease(viewport, Qt::LeftButton, Qt::NoModifier, to);
    };
    band(QPoint(40, 110), s->geometry().bottomRight() + QPoint(11, 11));
    EXPECT_EQ(panel.selection(), std::vector<VyrPanelItem *>{slider});
    band(QPoint(40, 20), QPoint(l->x() + 10, std::max(b->geometry().bottom(), l->geometry().bottom()) + 11));
    EXPECT_EQ(panel.selection(), std::vector<VyrPanelItem *>{button}) << "the band cuts the LED";

    // Move the button and the LED by one offset.
    click(l, centre(l), Qt::ControlModifier);
    const QRect button_before = b->geometry();
    const QRect led_before = l->geometry();
    drag(b, centre(b), QPoint(20, 10));
    EXPECT_EQ(b->geometry(), button_before.translated(20, 10));
    EXPECT_EQ(l->geometry(), led_before.translated(20, 10));

    // Resize the slider by its right edge, then by its top edge.
    click(s, centre(s));
    const QRect slider_before = s->geometry();
    drag(s, QPoint(s->width() - 2, s->height() / 2), QPoint(20, 0));
    drag(s, QPoint(s->width() / 2, 1), QPoint(0, -10));
    EXPECT_EQ(s->geometry(), slider_before.adjusted(0, -10, 20, 0));
    EXPECT_EQ(l->geometry(), led_before.translated(20, 10)) << "only the item under the mouse";

    // Without snap the LED moves off the grid; aligning puts it back.
    click(l, centre(l));
    ASSERT_TRUE(run_menu_entry(panel, {"Snap to Grid"}));
    drag(l, centre(l), QPoint(3, 4));
    EXPECT_EQ(l->pos(), led_before.topLeft() + QPoint(23, 14));
    ASSERT_TRUE(run_menu_entry(panel, {"Snap to Grid"}));
    ASSERT_TRUE(run_menu_entry(panel, {"Align Items to Grid"}));
    EXPECT_EQ(l->pos(), led_before.topLeft() + QPoint(20, 10));

    // The properties dialog from a double click on the button.
    click(b, centre(b));
    bool dialog_ran = false;
    form_test::when_modal([&](QWidget *modal) {
        auto *dialog = qobject_cast<VyrDialogControlProperties *>(modal);
        ASSERT_NE(dialog, nullptr);
        dialog_ran = true;
        EXPECT_EQ(dialog->objectName(), "item_properties");
        dialog->le_name->setText("start_button");
        dialog->le_caption->setText("Start");
        dialog->insert_signal("CAN1", temperature);
        EXPECT_EQ(dialog->le_signal_name->text(), QString("CAN 1::") + temperature);
        dialog->cb_range->setChecked(true);
        dialog->le_minv->setText("5");
        dialog->le_maxv->setText("-5");
        QTreeWidgetItem *event = dialog->lv_triggered_actions->topLevelItem(0);
        ASSERT_NE(event, nullptr);
        EXPECT_EQ(event->text(0), "On Button Clicked");
        EXPECT_TRUE(event->isSelected());
        const auto interfaces = dialog->lv_script_actions->findItems("CAN 1", Qt::MatchExactly);
        ASSERT_EQ(interfaces.size(), 1);
        QTreeWidgetItem *action = nullptr;
        for (int i = 0; i < interfaces[0]->childCount(); ++i)
            if (interfaces[0]->child(i)->text(0) == "Start")
                action = interfaces[0]->child(i);
        ASSERT_NE(action, nullptr) << "the script's action under its interface";
        EXPECT_FALSE(dialog->pb_add_action->isEnabled());
        action->setSelected(true);
        EXPECT_TRUE(dialog->pb_add_action->isEnabled());
        dialog->pb_add_action->click();
        EXPECT_EQ(event->childCount(), 1);
        EXPECT_EQ(event->child(0)->text(0), "CAN 1::Start");
        dialog->pb_ok->click();
    });
    panel.set_modified(false);
    QTest::mouseDClick(b, Qt::LeftButton, Qt::NoModifier, centre(b));
    ASSERT_TRUE(dialog_ran);
    EXPECT_TRUE(panel.is_modified());
    EXPECT_EQ(b->objectName(), "start_button");
    EXPECT_EQ(b->property("text").toString(), "Start");
    const PanelSignalBinding &binding = *button->bindings()[0];
    EXPECT_EQ(binding.interface_id(), "CAN1");
    EXPECT_EQ(binding.signal_name(), temperature);
    EXPECT_NE(binding.signal(), nullptr) << "resolved";
    EXPECT_TRUE(binding.override_range);
    EXPECT_EQ(binding.range_minimum, -5.0);
    EXPECT_EQ(binding.range_maximum, 5.0);
    const auto &clicked = button->activation_group()->find_list("clicked")->entries();
    ASSERT_EQ(clicked.size(), 1u);
    EXPECT_EQ(clicked[0]->interface_id(), "CAN1");
    EXPECT_EQ(clicked[0]->action_name(), "Start");
    EXPECT_TRUE(clicked[0]->resolved());

    // Saved and read into a new panel: the same items; saved again, the same bytes.
    const QString file = dir.filePath("scenario.ui");
    panel.set_filename(file);
    ASSERT_TRUE(panel.save_panel_to_file());
    EXPECT_FALSE(panel.is_modified());
    VyrPanel copy(nullptr);
    ASSERT_TRUE(copy.read_panel_from_file(file));
    ASSERT_EQ(copy.items().size(), panel.items().size());
    for (size_t i = 0; i < panel.items().size(); ++i)
        EXPECT_EQ(describe(*copy.items()[i]), describe(*panel.items()[i])) << i;
    const QByteArray first_save = read_file(file);
    ASSERT_TRUE(copy.save_panel_to_file());
    EXPECT_EQ(read_file(file), first_save);
}

// "Select Signal" of the second signal opens the shared selection dialog
// modally; its pick fills the second signal, and the dialog outlives the
// properties dialog that borrowed it.
TEST_F(PanelEditingScenario, SecondSignalComesFromTheSharedSelectionDialog)
{
    if (!QFileInfo::exists(motohawk_dbc))
        GTEST_SKIP() << "no test data at " << vyr_test::configured_testdata_dir().toStdString();
    make("CAN", virtual_channel, "", {motohawk_dbc});
    VyrPanel panel(nullptr);
    VyrPanelItem *item = panel.insert_new_item("Horizont");
    ASSERT_EQ(item->bindings().size(), 2u);
    {
        VyrDialogControlProperties dialog(&panel, "item_properties");
        dialog.load_item(item);
        bool picked = false;
        form_test::when_modal([&](QWidget *modal) {
            auto *select = qobject_cast<VyrSignalSelect *>(modal);
            ASSERT_NE(select, nullptr);
            EXPECT_EQ(select->value_type_filter(), 1);
            EXPECT_EQ(select->direction_filter(), 0);
            picked = true;
            emit select->selected("CAN1", temperature);
        });
        dialog.pb_select_signal_2->click();
        ASSERT_TRUE(picked);
        EXPECT_EQ(dialog.le_signal_name_2->text(), QString("CAN 1::") + temperature);
        EXPECT_TRUE(dialog.le_signal_name->text().isEmpty());
        ASSERT_NE(signal_select_dialog(), nullptr);
        EXPECT_FALSE(signal_select_dialog()->isVisible()) << "the pick closed it";
        dialog.apply_to_item(item);
    }
    EXPECT_EQ(item->bindings()[1]->interface_id(), "CAN1");
    EXPECT_EQ(item->bindings()[1]->signal_name(), temperature);
    ASSERT_NE(signal_select_dialog(), nullptr) << "detached, not deleted with the properties dialog";
    EXPECT_EQ(signal_select_dialog()->parent(), nullptr);
    delete_signal_select_dialog();
}
