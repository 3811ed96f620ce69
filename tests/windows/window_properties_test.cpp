#include "windows/vyr_window_properties.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

TEST(VyrWindowProperties, TheRateTakesDigitsOnlyAndReadsEmptyAsZero)
{
    VyrWindowProperties dialog(nullptr, "window_properties");
    EXPECT_EQ(dialog.findChild<QLabel *>("tl_update_rate")->text(), "Update Rate [ms]:");
    EXPECT_EQ(dialog.findChild<QPushButton *>("pb_ok")->text(), "Ok");
    EXPECT_TRUE(dialog.pb_ok->isDefault());

    dialog.set_update_rate(250);
    EXPECT_EQ(dialog.le_update_rate->text(), "250");
    dialog.le_update_rate->clear();
    EXPECT_EQ(dialog.update_rate(), 0);
    QTest::keyClicks(dialog.le_update_rate, "-5x0");
    EXPECT_EQ(dialog.le_update_rate->text(), "50") << "no sign, no letters";
    EXPECT_EQ(dialog.update_rate(), 50);

    dialog.set_title("Trace 1");
    dialog.set_identifier("bus");
    EXPECT_EQ(dialog.title(), "Trace 1");
    EXPECT_EQ(dialog.findChild<QLineEdit *>("le_identifier")->text(), "bus");
}
