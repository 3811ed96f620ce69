// Every entry of the main window's menus, of its workspace context menu and
// of its tool bar runs a command or is shown disabled: none silently does
// nothing when chosen.
#include "app/shell/vyr_app_state.h"
#include "app/vyr_main.h"
#include "app/vyr_main_widgets.h"
#include "message_window_rows.h"
#include "core/vyr_signal_if.h"
#include "core/vyr_signal_if_type.h"
#include "core/vyr_trigger.h"
#include "tests/core/signal_if_test_support.h"

#include <QApplication>
#include <QMenu>
#include <QMenuBar>
#include <QTest>
#include <QPointer>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <gtest/gtest.h>

#include <map>
#include <memory>

namespace {

// Whether a signal of an entry reaches the main window or one of its parts.
// The menus' own connections to their items do not count: a menu hears
// every item that is chosen, whatever the item does. Disconnecting is the
// one public way to ask, so each signal is asked once and its answer kept;
// the entries do nothing afterwards.
class ConnectionProbe
{
public:
    explicit ConnectionProbe(QWidget *window) : m_window(window) {}

    bool connected(QObject *sender, const char *signal)
    {
        const auto key = std::make_pair(sender, QByteArray(signal));
        const auto known = m_answers.find(key);
        // A rebuilt menu may place a new entry where a deleted one was: an
        // answer counts only while the object it was given for lives.
        if (known != m_answers.end() && known->second.first == sender)
            return known->second.second;
        bool answer = QObject::disconnect(sender, signal, m_window, nullptr);
        for (QObject *receiver : m_window->findChildren<QObject *>())
            if (receiver != sender && !qobject_cast<QMenu *>(receiver))
                answer = QObject::disconnect(sender, signal, receiver, nullptr) || answer;
        m_answers[key] = {QPointer<QObject>(sender), answer};
        return answer;
    }

private:
    QWidget *m_window;
    std::map<std::pair<QObject *, QByteArray>, std::pair<QPointer<QObject>, bool>> m_answers;
};

// The entries of a menu and its submenus ("Menu > Entry"), each opened as
// the user would open it, sorted into those that run a command (connected
// themselves, or items of a menu that runs their command), those shown
// disabled, and those that would do nothing.
struct Entries
{
    QStringList connected;
    QStringList disabled;
    QStringList dead;

    void walk(QMenu *menu, const QString &path, ConnectionProbe &probe)
    {
        emit menu->aboutToShow(); // the menus that are built as they open
        for (QAction *action : menu->actions()) {
            if (action->isSeparator())
                continue;
            const QString name = path + " > " + action->text();
            if (QMenu *submenu = action->menu())
                walk(submenu, name, probe);
            else if (!action->isEnabled()) {
                disabled << name;
            } else if (probe.connected(action, SIGNAL(triggered(bool))) ||
                       probe.connected(menu, SIGNAL(triggered(QAction *)))) {
                connected << name;
            } else {
                dead << name;
            }
        }
    }

    void walk(QToolBar *bar, ConnectionProbe &probe)
    {
        for (QToolButton *button : bar->findChildren<QToolButton *>())
            if (button->objectName().startsWith("button_")) {
                const QString name = "Toolbar > " + button->text();
                if (!button->isEnabled())
                    disabled << name;
                else if (probe.connected(button, SIGNAL(clicked(bool))))
                    connected << name;
                else
                    dead << name;
            }
    }
};

std::unique_ptr<VyrSignalIf> create_test_interface(QtbConfigGroup *, QObject *owner,
                                                   VyrSignalIfNotification *notification)
{
    return std::make_unique<vyr_test::TestInterface>(owner, notification);
}

// Its settings menu lists the interface.
VyrSignalIfType test_type("TEST", "Test", "an interface of the tests", create_test_interface);

class Menus : public ::testing::Test
{
protected:
    Menus()
    {
        VyrTriggerList::set_instance(&triggers);
        add_running_trigger(&triggers);
        // Every help language installed: the language menu is there.
        vyr_app_state().help_language_mask = 0xf;
        window = std::make_unique<VyrMain>();
        window->setAttribute(Qt::WA_DeleteOnClose, false);
        // An active interface with a script: Start and Compile are offered.
        VyrSignalIf *interface =
            create_signal_if("TEST", nullptr, window.get(), window->signal_if_notification()).release();
        interface->set_active(true);
        interface->set_script_file("demo.vys");
        window->show_state();
    }
    ~Menus() override
    {
        window.reset();
        vyr_app_state().help_language_mask = 0;
        VyrTriggerList::set_instance(nullptr);
    }

    VyrTriggerList triggers;
    std::unique_ptr<VyrMain> window;
};

TEST_F(Menus, EveryEntryRunsACommandOrIsDisabled)
{
    ConnectionProbe probe(window.get());
    Entries entries;
    auto walk_all = [&] {
        for (QAction *top : window->menuBar()->actions())
            entries.walk(top->menu(), top->text(), probe);
        entries.walk(window->tool_bar().bar, probe);
    };
    walk_all();
    // Entries that are on only during a measurement.
    window->start();
    ASSERT_TRUE(window->measurement_running());
    walk_all();
    window->stop();

    window->show();
    QApplication::setActiveWindow(window.get());
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    bool context_menu_seen = false;
    QTimer::singleShot(0, [&] {
        if (auto *popup = qobject_cast<QMenu *>(QApplication::activePopupWidget())) {
            context_menu_seen = true;
            entries.walk(popup, "Workspace", probe);
            popup->close();
        }
    });
    QTest::mouseClick(window->current_workspace()->viewport(), Qt::RightButton);
    ASSERT_TRUE(context_menu_seen);

    EXPECT_TRUE(entries.dead.isEmpty()) << entries.dead.join('\n').toStdString();
    // The walk reaches entries of every kind, so that it cannot pass by seeing none.
    for (const char *name :
         {"&File > &Open Configuration...", "&File > E&xit", "&Measure > Sto&p", "&View > Message Window",
          "&Window > Create &Window > Trace", "Workspace > Standard Layout", "Workspace > Create Window > Trace",
          "Toolbar > Start", "Toolbar > Stop", "&Settings > Interface List", "&Settings > TEST Settings > TEST 1",
          "&Settings > Create new Interface > TEST Interface", "Toolbar > Interfaces", "&Settings > Trigger Settings",
          "&File > &Describe Configuration...", "&Help > &Contents", "&Help > &About...",
          "&Help > Language for Online Help > English"})
        EXPECT_TRUE(entries.connected.contains(name)) << name;
    // Idle, Stop is shown disabled.
    EXPECT_TRUE(entries.disabled.contains("&Measure > Sto&p"));
}

// An entry of "Create new Interface" whose interface type is not built yet
// says so in the message window and creates nothing.
TEST_F(Menus, CreatingAnInterfaceOfATypeNotBuiltYetSaysSo)
{
    emit window->menus().menu_settings->aboutToShow();
    QMenu *create = window->findChild<QMenu *>("menu_create_interface");
    ASSERT_NE(create, nullptr);
    int unbuilt = 0;
    for (const VyrSignalIfType *type = get_first_signal_if_type(); type; type = type->next()) {
        if (type->create() || !type->in_menu())
            continue;
        ++unbuilt;
        const QString text = QString::fromStdString(type->type_name()) + " Interface";
        QAction *entry = nullptr;
        for (QAction *action : create->actions())
            if (action->text() == text)
                entry = action;
        ASSERT_NE(entry, nullptr) << text.toStdString();
        int interfaces = 0;
        for (VyrSignalIf *i = get_first_signal_if(); i; i = i->next())
            ++interfaces;
        entry->trigger();
        int after = 0;
        for (VyrSignalIf *i = get_first_signal_if(); i; i = i->next())
            ++after;
        EXPECT_EQ(after, interfaces);
        const QStringList rows = message_window_rows(*window);
        ASSERT_FALSE(rows.isEmpty());
        EXPECT_TRUE(rows.last().contains(QString::fromUtf8(type->display_name())) &&
                    rows.last().contains("not built yet"))
            << rows.last().toStdString();
    }
    if (unbuilt == 0)
        GTEST_SKIP() << "every interface type is built";
}

// The Settings and Window menus are built anew each time they open; the
// submenus of the last build go with them instead of piling up.
TEST_F(Menus, ReopenedMenusKeepOneSetOfSubmenus)
{
    for (int opened = 0; opened < 3; ++opened) {
        emit window->menus().menu_settings->aboutToShow();
        emit window->menus().menu_window->aboutToShow();
    }
    EXPECT_EQ(window->findChildren<QMenu *>("menu_create_interface").size(), 1);
    EXPECT_EQ(window->findChildren<QMenu *>("menu_create_window").size(), 1);
}

} // namespace
