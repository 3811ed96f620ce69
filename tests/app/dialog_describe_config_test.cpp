#include "app/dialog_describe_config.h"
#include "tests/app/form_test_support.h"

#include <QPushButton>
#include <QSignalSpy>
#include <QTextBrowser>
#include <gtest/gtest.h>

TEST(DialogDescribeConfig, ShowsTheTextOnYellowPaperWithPrintingNeverOffered)
{
    DialogDescribeConfig dialog(nullptr, "describe_config");
    EXPECT_EQ(dialog.objectName(), "describe_config");
    EXPECT_FALSE(dialog.isModal());
    EXPECT_TRUE(dialog.windowTitle().isEmpty());
    EXPECT_EQ(dialog.text_view->palette().color(QPalette::Base), QColor(255, 255, 166));
    EXPECT_TRUE(dialog.text_view->isReadOnly());
    EXPECT_EQ(dialog.text_view->minimumSize(), QSize(450, 250));
    EXPECT_EQ(dialog.layout()->contentsMargins(), QMargins(5, 5, 5, 5));

    const form_test::TextRow rows[] = {{"pb_close", "&Close"}, {"pb_print", "&Print..."}, {"pb_help", "&Help"}};
    form_test::expect_texts(&dialog, rows);
    EXPECT_EQ(form_test::focus_order(&dialog, {"pb_help", "pb_print", "pb_close"}),
              QStringList({"pb_close", "pb_print", "pb_help"}));

    dialog.set_text("<h3>Window \"Trace 1\"</h3><p>Update interval: 100 ms</p>");
    EXPECT_TRUE(dialog.text_view->toPlainText().contains("Update interval: 100 ms"));

    QSignalSpy help(&dialog, &DialogDescribeConfig::activate_help_context);
    dialog.pb_help->click();
    ASSERT_EQ(help.count(), 1);
    EXPECT_EQ(help.at(0).at(0).toString(), "DialogDescribeConfig");

    // Close ends the modal run; Print stays disabled throughout.
    form_test::when_modal([&dialog](QWidget *modal) {
        EXPECT_EQ(modal, &dialog);
        EXPECT_FALSE(dialog.pb_print->isEnabled());
        dialog.pb_close->click();
    });
    dialog.exec();
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_FALSE(dialog.pb_print->isEnabled());
}
