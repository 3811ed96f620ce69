// The demo's send window in the real main window on the vrbus daemon: Window >
// Create Window and the tool bar reach the send window type, CTRL+X pressed
// anywhere goes through the main window's key filter to every row on that
// key, and the demo's periodic row sends every 100 ms once started.
#include "app/vyr_main.h"
#include "demo_fixture.h"
#include "message_window_rows.h"
#include "settings/qtb_config.h"
#include "core/vyr_trigger.h"
#include "interfaces/can/vyr_can_if.h"
#include "core/vyr_global_accel.h"
#include "windows/send/can_send_table.h"
#include "windows/send/table_button.h"
#include "windows/send/vyr_can_send.h"
#include "tests/interfaces/can_test_support.h" // runs the vrbus daemon around the program

#include <QDir>
#include <QMenu>
#include <QTest>
#include <QToolButton>
#include <gtest/gtest.h>

using DemoSend = DemoFixture;

TEST_F(DemoSend, CtrlXSendsItsRowAndThePeriodicRowRunsEvery100Ms)
{
    window.show();
    ASSERT_EQ(window.load_configuration(&config), 0);
    auto *send = window.findChild<VyrCanSend *>();
    ASSERT_NE(send, nullptr);
    ASSERT_EQ(send->table()->rowCount(), 2);
    EXPECT_EQ(send->button(1)->accelerator()->key_code(), unsigned(VyrCanSend::default_key));

    can_test::BusNode node(0, true);
    window.start();
    ASSERT_TRUE(window.measurement_running()) << message_window_rows(window).join('\n').toStdString();
    window.activateWindow();
    QApplication::setActiveWindow(&window);
    QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : &window, Qt::Key_X,
                    Qt::ControlModifier);
    VyrCanMessage frame;
    ASSERT_TRUE(node.receive(0x201, frame));
    EXPECT_EQ(frame.data[0], 0x58);

    send->button(0)->click();
    VyrCanMessage first;
    VyrCanMessage second;
    ASSERT_TRUE(node.receive(0x200, first));
    ASSERT_TRUE(node.receive(0x200, second));
    EXPECT_NEAR(int(second.time - first.time), 100, 25);
    EXPECT_TRUE(QTest::qWaitFor([&] { return send->table()->item(0, VyrCanSend::Transmitted)->text().toInt() >= 2; },
                                2000));
    window.stop();

    // Window > Create Window and the tool bar make further send windows.
    window.build_window_menu();
    auto *create = window.menus().menu_window->findChild<QMenu *>(QStringLiteral("menu_create_window"));
    ASSERT_NE(create, nullptr);
    QAction *entry = nullptr;
    for (QAction *action : create->actions())
        if (action->text() == "CanSend")
            entry = action;
    ASSERT_NE(entry, nullptr);
    entry->trigger();
    EXPECT_EQ(window.findChildren<VyrCanSend *>().size(), 2);
    auto *button = window.findChild<QToolButton *>(QStringLiteral("button_create_CanSend"));
    ASSERT_NE(button, nullptr);
    EXPECT_EQ(button->toolTip(), "<p><h3>CAN Send Window</h3>Create a new CAN Send Window</p>");
    button->click();
    EXPECT_EQ(window.findChildren<VyrCanSend *>().size(), 3);
}
