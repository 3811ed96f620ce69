#include "forms/dialog_disclaimer_base.h"
#include "app/vyr_dialog_disclaimer.h"
#include "tests/app/form_test_support.h"

#include <QAbstractButton>
#include <QGuiApplication>
#include <QLabel>
#include <QLayout>
#include <QPushButton>
#include <QScreen>
#include <QStackedWidget>
#include <QTextBrowser>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

// Every text a form shows, in widget order: caption, labels, buttons.
QStringList texts_of(QWidget *form)
{
    QStringList texts{form->windowTitle()};
    for (QWidget *widget : form->findChildren<QWidget *>()) {
        if (auto *label = qobject_cast<QLabel *>(widget))
            texts << widget->objectName() + "=" + label->text();
        else if (auto *button = qobject_cast<QAbstractButton *>(widget))
            texts << widget->objectName() + "=" + button->text();
        else if (auto *browser = qobject_cast<QTextBrowser *>(widget))
            texts << widget->objectName() + "=" + browser->toHtml();
    }
    return texts;
}

} // namespace

TEST(DialogDisclaimerBase, FollowsTheFormPattern)
{
    DialogDisclaimerBase unnamed;
    EXPECT_EQ(unnamed.objectName(), "DialogDisclaimerBase");
    DialogDisclaimerBase named(nullptr, "vyr_dialog_disclaimer");
    EXPECT_EQ(named.objectName(), "vyr_dialog_disclaimer");

    form_test::expect_spacing(&unnamed, "DialogDisclaimerBaseLayout", 11, 6);
    form_test::expect_spacing(&unnamed, "button_layout", 0, 6);
    form_test::expect_spacing(&unnamed, "page_textLayout", 0, 0);
    form_test::expect_spacing(&unnamed, "page_graphicLayout", 0, 0);

    // The given size, or the minimum size hint where that is larger.
    const QSize hint = unnamed.minimumSizeHint();
    EXPECT_EQ(unnamed.size(), QSize(std::max(446, hint.width()), std::max(333, hint.height())));
    EXPECT_EQ(unnamed.sizePolicy().horizontalPolicy(), QSizePolicy::Minimum);
    EXPECT_EQ(unnamed.sizePolicy().verticalPolicy(), QSizePolicy::Preferred);
    EXPECT_TRUE(unnamed.isSizeGripEnabled());

    // Members carry their widgets' object names, created in the listed order.
    const QList<QWidget *> in_order = {unnamed.widget_stack, unnamed.page_text, unnamed.tl_header, unnamed.tb_text,
                                       unnamed.page_graphic, unnamed.tl_pixmap, unnamed.pb_accept, unnamed.pb_decline};
    const QStringList names = {"widget_stack", "page_text", "tl_header", "tb_text",
                               "page_graphic", "tl_pixmap", "pb_accept", "pb_decline"};
    for (int i = 0; i < names.size(); ++i)
        EXPECT_EQ(in_order[i]->objectName(), names[i]);
    EXPECT_EQ(unnamed.widget_stack->indexOf(unnamed.page_text), 0);
    EXPECT_EQ(unnamed.widget_stack->indexOf(unnamed.page_graphic), 1);
}

TEST(DialogDisclaimerBase, TextsAndLooks)
{
    DialogDisclaimerBase form;
    EXPECT_EQ(form.windowTitle(), "Exclusion of Liability");
    EXPECT_EQ(form.tl_header->text(), "<center><font size=\"+5\"><b>Exclusion of Liability</b></font></center>");
    EXPECT_EQ(form.pb_accept->text(), "Accept");
    EXPECT_EQ(form.pb_decline->text(), "Decline");
    EXPECT_TRUE(form.pb_accept->shortcut().isEmpty());
    EXPECT_TRUE(form.pb_decline->shortcut().isEmpty());

    EXPECT_TRUE(form.pb_decline->isDefault()); // Return declines
    EXPECT_FALSE(form.pb_accept->isDefault());
    EXPECT_TRUE(form.pb_accept->isFlat());
    EXPECT_TRUE(form.pb_decline->isFlat());
    EXPECT_EQ(form.pb_accept->palette().color(QPalette::ButtonText), QColor(0, 170, 0));
    EXPECT_EQ(form.pb_decline->palette().color(QPalette::ButtonText), QColor(255, 0, 0));
    EXPECT_EQ(form.pb_accept->font().pointSize(), 10);
    EXPECT_TRUE(form.pb_accept->font().bold());
    EXPECT_EQ(form.tl_header->palette().color(QPalette::WindowText), QColor(255, 0, 0));
    EXPECT_EQ(form.tb_text->palette().color(QPalette::Base), QColor(255, 255, 0));
    EXPECT_EQ(form.tb_text->frameShape(), QFrame::NoFrame);
}

TEST(DialogDisclaimerBase, LanguageChangeAgainSetsTheSameTextsAndAddsNothing)
{
    DialogDisclaimerBase form;
    const QStringList before = texts_of(&form);
    const int children = form.findChildren<QObject *>().size();
    ASSERT_TRUE(QMetaObject::invokeMethod(&form, "languageChange"));
    ASSERT_TRUE(QMetaObject::invokeMethod(&form, "languageChange"));
    EXPECT_EQ(texts_of(&form), before);
    EXPECT_EQ(form.findChildren<QObject *>().size(), children);
}

TEST(DialogDisclaimerBase, AcceptGivesOneAndDeclineZero)
{
    for (bool accept : {true, false}) {
        DialogDisclaimerBase form;
        QPushButton *button = accept ? form.pb_accept : form.pb_decline;
        QTimer::singleShot(0, button, &QPushButton::click);
        EXPECT_EQ(form.exec(), accept ? 1 : 0);
    }
}

TEST(VyrDialogDisclaimer, NoTitleBarOnTopAndTheMiddleHalfOfTheScreen)
{
    VyrDialogDisclaimer dialog(nullptr, "vyr_dialog_disclaimer", true);
    const Qt::WindowFlags flags = dialog.windowFlags();
    EXPECT_TRUE(flags & Qt::CustomizeWindowHint);
    EXPECT_FALSE(flags & Qt::WindowTitleHint);
    EXPECT_FALSE(flags & Qt::WindowSystemMenuHint);
    EXPECT_TRUE(flags & Qt::WindowStaysOnTopHint);
    EXPECT_TRUE(dialog.isModal());

    dialog.widget_stack->setCurrentWidget(dialog.page_graphic);
    dialog.show_text("<p>The notice</p>");
    EXPECT_TRUE(dialog.tb_text->toPlainText().contains("The notice"));
    EXPECT_EQ(dialog.widget_stack->currentWidget(), dialog.page_text);
    // One colour for the notice area.
    EXPECT_EQ(dialog.palette().color(QPalette::Window), QColor(255, 255, 0));
    EXPECT_EQ(dialog.tl_header->palette().color(QPalette::Window), QColor(255, 255, 0));

    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    const int w = screen.width() / 2;
    const int h = screen.height() / 2;
    EXPECT_EQ(dialog.size(), QSize(w, h));
    EXPECT_EQ(dialog.pos(), QPoint(w - w / 2, h - h / 2));
}
