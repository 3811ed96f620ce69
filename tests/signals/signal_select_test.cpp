// The signal selection dialog on a CAN interface of the vrbus daemon with a
// DBC of the public test data and a signal of its script: the rows of both
// lists, their order, the filters, the picks that reach a window, the one
// instance that windows share, and its end when the signal world changes.
#include "../interfaces/can_test_support.h"

#include "core/vyr_signal_list.h"
#include "core/widgets/vyr_signal_select_list_view.h"
#include "test_support.h"
#include "windows/signals/vyr_signal_select.h"

#include <QFile>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

namespace {

// A window as the dialog sees one: it takes picks through insert_signal.
class PickingWindow : public QWidget
{
    Q_OBJECT
public:
    QStringList picks;
public slots:
    void insert_signal(const QString &interface_id, const QString &signal_name)
    {
        picks << interface_id + QLatin1Char(':') + signal_name;
    }
};

QTreeWidgetItem *child_named(QTreeWidgetItem *parent, const QString &text)
{
    for (int i = 0; i < parent->childCount(); ++i)
        if (parent->child(i)->text(0) == text)
            return parent->child(i);
    return nullptr;
}

QStringList child_texts(QTreeWidgetItem *parent)
{
    QStringList texts;
    for (int i = 0; i < parent->childCount(); ++i)
        texts << parent->child(i)->text(0);
    return texts;
}

// Column texts of the flat list's rows, "Signal Name" first.
QStringList row(QTreeWidget *list, const QString &name)
{
    for (int i = 0; i < list->topLevelItemCount(); ++i) {
        QTreeWidgetItem *item = list->topLevelItem(i);
        if (item->text(0) != name)
            continue;
        QStringList texts;
        for (int c = 0; c < list->columnCount(); ++c)
            texts << item->text(c);
        return texts;
    }
    return {};
}

QStringList leaf_names(QTreeWidget *list)
{
    QStringList names;
    for (int i = 0; i < list->topLevelItemCount(); ++i)
        names << list->topLevelItem(i)->text(0);
    return names;
}

class SignalSelect : public can_test::CanFixture
{
protected:
    ~SignalSelect() override { delete_signal_select_dialog(); }

    void SetUp() override
    {
        if (!QFile::exists(QString::fromStdString(motohawk())))
            GTEST_SKIP() << "public test data missing";
        can = make("CAN", can_test::virtual_channel, "", {QString::fromStdString(motohawk())});
        const QString path = dir.filePath("select.vys");
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("output \"TargetTemperature\" {\n"
                   "  CanMessage_ExampleMessage m;\n"
                   "  m.Temperature.Phys = this;\n"
                   "  canSendMessage (m);\n"
                   "}\n");
        file.close();
        can->set_script_file(path);
        ASSERT_EQ(can->sclib_init(), 0);
        // A record that no compile defined: a placeholder, never listed.
        can->signal_list()->insert(can->new_signal("Ghost.Signal", 0));
        id = QString::fromStdString(can->make_id());
    }

    static std::string motohawk() { return vyr_test::testdata_dir() + "/dbc/cantools/tests/files/dbc/motohawk.dbc"; }

    QTreeWidgetItem *interface_item(VyrSignalSelect *dialog) const
    {
        return dialog->message_tree()->topLevelItem(0);
    }

    QTemporaryDir dir;
    VyrCanIf *can = nullptr;
    QString id;
    PickingWindow window;
};

} // namespace

TEST_F(SignalSelect, TreeAndListShowEveryDefinedSignalWithItsRowTexts)
{
    VyrSignalSelect *dialog = open_signal_select_dialog(&window, false, nullptr, 1, 0);
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->objectName(), "signal_select");
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(dialog->tab_widget()->tabText(0), "Message Tree");
    EXPECT_EQ(dialog->tab_widget()->tabText(1), "Signal List");
    EXPECT_EQ(dialog->findChild<QPushButton *>("add_button")->text(), "&Add");

    // Database signals under database and message; the script's under "Script Defined".
    QTreeWidgetItem *top = interface_item(dialog);
    ASSERT_NE(top, nullptr);
    EXPECT_EQ(top->text(0), QString::fromStdString(can->name()));
    QTreeWidgetItem *message = child_named(child_named(top, "motohawk"), "ExampleMessage");
    ASSERT_NE(message, nullptr);
    // Siblings come in the reverse order of the DBC's signals.
    EXPECT_EQ(child_texts(message), QStringList({"Enable", "AverageRadius", "Temperature"}));
    QTreeWidgetItem *temperature = child_named(message, "Temperature");
    EXPECT_EQ(static_cast<VyrSignalSelectItem *>(temperature)->signal(),
              can->signal_list()->find("motohawk.ExampleMessage.Temperature"));
    QStringList texts;
    for (int c = 0; c < dialog->message_tree()->columnCount(); ++c)
        texts << temperature->text(c);
    EXPECT_EQ(texts, QStringList({"Temperature", "Input", "Float", "event", "0ms", "229.52", "270.47", "250", "0.01"}));
    EXPECT_EQ(temperature->textAlignment(VyrSignalSelect::TreeRate) & Qt::AlignRight, Qt::AlignRight);
    QTreeWidgetItem *script = child_named(top, "Script Defined");
    ASSERT_NE(script, nullptr);
    QTreeWidgetItem *target = child_named(script, "TargetTemperature");
    ASSERT_NE(target, nullptr);
    EXPECT_EQ(target->text(VyrSignalSelect::TreeDirection), "Output");
    EXPECT_EQ(target->text(VyrSignalSelect::TreeFormat), "Float");
    EXPECT_EQ(child_named(top, "Ghost"), nullptr);

    // The flat list splits the name; a name without dots has no message or database.
    QTreeWidget *list = dialog->signal_list();
    EXPECT_EQ(row(list, "Temperature"), QStringList({"Temperature", "ExampleMessage", "motohawk", "CAN 1", "Input",
                                                     "Float", "event", "0ms", "229.52", "270.47", "0.01", "250"}));
    const QStringList script_row = row(list, "TargetTemperature");
    ASSERT_FALSE(script_row.isEmpty());
    EXPECT_EQ(script_row.mid(1, 4), QStringList({"", "", "CAN 1", "Output"}));
    EXPECT_TRUE(row(list, "Signal").isEmpty()) << "the placeholder is listed";
    const QStringList names = leaf_names(list);
    EXPECT_LT(names.indexOf("Enable"), names.indexOf("Temperature")) << "rows in reverse order";
}

TEST_F(SignalSelect, FiltersTakeValueTypeAndDirectionWithInOutPassingEither)
{
    const struct {
        int value_type, direction;
        bool enable, target;
    } cases[] = {{1, 0, true, true}, {2, 0, true, false}, {3, 0, false, true}, {1, 1, true, false},
                 {1, 2, false, true}, {3, 1, false, false}};
    for (const auto &c : cases) {
        VyrSignalSelect *dialog = open_signal_select_dialog(&window, false, nullptr, c.value_type, c.direction);
        const QStringList names = leaf_names(dialog->signal_list());
        EXPECT_EQ(names.contains("Enable"), c.enable) << c.value_type << "/" << c.direction;
        EXPECT_EQ(names.contains("TargetTemperature"), c.target) << c.value_type << "/" << c.direction;
        EXPECT_EQ(dialog->value_type_filter(), c.value_type);
    }
    // An in/out signal passes both direction filters.
    SignalRecord *both = can->signal_list()->find("TargetTemperature");
    both->set_direction(SignalRecord::InputOutput);
    delete_signal_select_dialog();
    EXPECT_TRUE(leaf_names(open_signal_select_dialog(&window, false, nullptr, 1, 1)->signal_list())
                    .contains("TargetTemperature"));
}

TEST_F(SignalSelect, AddOnTheInterfaceItemPicksEverySignalDepthFirstAndDoubleClickOneLeaf)
{
    VyrSignalSelect *dialog = open_signal_select_dialog(&window, false, nullptr, 1, 0);
    QTreeWidgetItem *top = interface_item(dialog);
    top->setSelected(true);
    QTest::mouseClick(dialog->findChild<QPushButton *>("add_button"), Qt::LeftButton);
    // Depth first in the order shown: the picks follow the tree's leaves.
    QStringList shown;
    std::function<void(QTreeWidgetItem *)> walk = [&](QTreeWidgetItem *item) {
        for (int i = 0; i < item->childCount(); ++i) {
            QTreeWidgetItem *child = item->child(i);
            if (child->childCount())
                walk(child);
            else
                shown << id + ":" + QString::fromLatin1(static_cast<VyrSignalSelectItem *>(child)->signal()->name());
        }
    };
    walk(top);
    EXPECT_EQ(window.picks, shown);
    EXPECT_TRUE(window.picks.contains(id + ":TargetTemperature"));
    EXPECT_TRUE(window.picks.contains(id + ":motohawk.ExampleMessage.Enable"));
    EXPECT_TRUE(dialog->message_tree()->selectedItems().isEmpty());

    // Nothing selected: nothing picked. A group double-clicked: nothing; a leaf: its signal.
    window.picks.clear();
    dialog->add_selected();
    QTreeWidgetItem *message = child_named(child_named(top, "motohawk"), "ExampleMessage");
    dialog->doubleClicked(message);
    dialog->doubleClicked(nullptr);
    EXPECT_TRUE(window.picks.isEmpty());
    dialog->doubleClicked(child_named(message, "AverageRadius"));
    EXPECT_EQ(window.picks, QStringList({id + ":motohawk.ExampleMessage.AverageRadius"}));

    // On the flat list "&Add" takes the selected rows in their order.
    window.picks.clear();
    dialog->tab_widget()->setCurrentIndex(1);
    QTreeWidget *list = dialog->signal_list();
    for (int i = 0; i < list->topLevelItemCount(); ++i)
        if (list->topLevelItem(i)->text(0) == "Temperature" || list->topLevelItem(i)->text(0) == "Enable")
            list->topLevelItem(i)->setSelected(true);
    dialog->add_selected();
    EXPECT_EQ(window.picks,
              QStringList({id + ":motohawk.ExampleMessage.Enable", id + ":motohawk.ExampleMessage.Temperature"}));
    EXPECT_TRUE(list->selectedItems().isEmpty());
}

TEST_F(SignalSelect, OneInstanceIsReusedTakenOverByASecondWindowAndDetached)
{
    window.setWindowTitle("Scope 1");
    VyrSignalSelect *dialog = open_signal_select_dialog(&window, false, can, 1, 0);
    EXPECT_EQ(dialog->windowTitle(), "Scope 1 Signal Selection");
    const int rows = dialog->signal_list()->topLevelItemCount();
    dialog->signal_list()->topLevelItem(0)->setExpanded(true);

    // The same filters: the same dialog, its lists untouched, now the second window's.
    PickingWindow second;
    second.setWindowTitle("Tune 2");
    EXPECT_EQ(open_signal_select_dialog(&second, false, nullptr, 1, 0), dialog);
    EXPECT_EQ(dialog->parentWidget(), &second);
    EXPECT_EQ(dialog->signal_list()->topLevelItemCount(), rows);
    EXPECT_EQ(dialog->windowTitle(), "Tune 2 Signal Selection");
    EXPECT_TRUE(dialog->isWindow());
    EXPECT_FALSE(dialog->isVisible());
    dialog->doubleClicked(dialog->signal_list()->topLevelItem(0));
    EXPECT_TRUE(window.picks.isEmpty());
    EXPECT_EQ(second.picks.size(), 1);

    // Detaching from another window does nothing; from its owner frees it.
    detach_signal_select_dialog(&window);
    EXPECT_EQ(dialog->parentWidget(), &second);
    detach_signal_select_dialog(&second);
    EXPECT_EQ(dialog->parentWidget(), nullptr);
    dialog->doubleClicked(dialog->signal_list()->topLevelItem(0));
    EXPECT_EQ(second.picks.size(), 1);
    EXPECT_EQ(signal_select_dialog(), dialog);

    // Other filters make a new one; a window deleted takes its dialog along.
    {
        PickingWindow third;
        VyrSignalSelect *other = open_signal_select_dialog(&third, true, nullptr, 1, 2);
        EXPECT_NE(other, nullptr);
        EXPECT_TRUE(other->isModal());
        EXPECT_EQ(signal_select_dialog(), other);
    }
    EXPECT_EQ(signal_select_dialog(), nullptr);
}

TEST_F(SignalSelect, ChangesOfTheSignalWorldDropTheDialog)
{
    using Notify = void (VyrSignalIfNotification::*)(const QString &);
    const std::pair<const char *, Notify> notifications[] = {
        {"signal_reload_start", &VyrSignalIfNotification::signal_reload_start},
        {"interface_created", &VyrSignalIfNotification::interface_created},
        {"interface_removed", &VyrSignalIfNotification::interface_removed},
        {"interface_configuration_changed", &VyrSignalIfNotification::interface_configuration_changed}};
    for (const auto &[name, notify] : notifications) {
        QPointer<VyrSignalSelect> dialog = open_signal_select_dialog(&window, false, nullptr, 1, 0);
        (shell.notification.*notify)(id);
        EXPECT_TRUE(dialog.isNull()) << name;
        EXPECT_EQ(signal_select_dialog(), nullptr) << name;
    }
    // A database load announces its reload: the dialog goes before its records change.
    QPointer<VyrSignalSelect> dialog = open_signal_select_dialog(&window, false, nullptr, 1, 0);
    ASSERT_EQ(can->load_databases(), 0);
    EXPECT_TRUE(dialog.isNull());

    // An interface deleted while the dialog lists it leaves no item on its freed records.
    dialog = open_signal_select_dialog(&window, false, nullptr, 1, 0);
    emit shell.notification.interface_removed(id);
    owned.clear();
    EXPECT_TRUE(dialog.isNull());
    dialog = open_signal_select_dialog(&window, false, nullptr, 1, 0);
    EXPECT_EQ(dialog->message_tree()->topLevelItemCount(), 0);
}

#include "signal_select_test.moc"
