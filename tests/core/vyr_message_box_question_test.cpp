// The message box behind the program's questions: its texts and buttons, the
// answer of each button, and no box off the GUI thread.
#include "core/vyr_question.h"
#include "core/widgets/vyr_message_box_question.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <thread>

namespace {

// Clicks the button with that text in the box once it is shown.
void click_when_shown(const QString &button_text)
{
    QTimer::singleShot(0, [button_text] {
        for (QWidget *widget : QApplication::topLevelWidgets()) {
            auto *box = qobject_cast<QMessageBox *>(widget);
            if (!box || box->objectName() != "question_box")
                continue;
            EXPECT_EQ(box->windowTitle(), "Warning");
            EXPECT_EQ(box->text(), "Reload ?");
            for (QAbstractButton *button : box->buttons())
                if (button->text() == button_text)
                    QTest::mouseClick(button, Qt::LeftButton);
        }
    });
}

} // namespace

TEST(VyrMessageBoxQuestionTest, EachButtonAnswersItsIndex)
{
    set_vyr_question_function(vyr_message_box_question);
    const QStringList buttons{"YES", "No", "Cancel"};
    for (int i = 0; i < buttons.size(); ++i) {
        click_when_shown(buttons[i]);
        EXPECT_EQ(vyr_ask_question(nullptr, "Warning", "Reload ?", buttons), i);
    }
    set_vyr_question_function(nullptr);
    EXPECT_EQ(vyr_ask_question(nullptr, "Warning", "Reload ?", buttons), 2); // none installed
}

// What Enter answers in a box that is shown, and the box's icon.
void press_enter_when_shown(QMessageBox::Icon &icon)
{
    QTimer::singleShot(0, [&icon] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        icon = box->icon();
        QTest::keyClick(box, Qt::Key_Return);
    });
}

TEST(VyrMessageBoxQuestionTest, EnterChoosesTheLastButtonTheOneThatChangesNothing)
{
    set_vyr_question_function(vyr_message_box_question);
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    press_enter_when_shown(icon);
    EXPECT_EQ(vyr_ask_question(nullptr, "Warning", "Configuration has changed!\nDo you want to save ?",
                               {"YES", "No", "Cancel"}),
              2);
    EXPECT_EQ(icon, QMessageBox::Warning);

    press_enter_when_shown(icon);
    EXPECT_EQ(vyr_ask_question(nullptr, "Info", "Reload/Compile was successful.", {"OK"}, VyrQuestionIcon::information),
              0);
    EXPECT_EQ(icon, QMessageBox::Information);
    press_enter_when_shown(icon);
    vyr_ask_question(nullptr, "Error", "Unable to open file", {"OK"}, VyrQuestionIcon::critical);
    EXPECT_EQ(icon, QMessageBox::Critical);
    set_vyr_question_function(nullptr);
}

TEST(VyrMessageBoxQuestionTest, NoBoxOpensOffTheGuiThread)
{
    int answer = -1;
    std::thread other([&] { answer = vyr_message_box_question(nullptr, "Warning", "Reload ?", {"YES", "No", "Cancel"}); });
    other.join();
    EXPECT_EQ(answer, 2);
    EXPECT_TRUE(QApplication::topLevelWidgets().isEmpty() ||
                !qobject_cast<QMessageBox *>(QApplication::activeModalWidget()));
}

// The box stands over its parent's window but is no child of it: a window
// deleted while the box is open (its program ends on a signal) does not
// delete the box, and closing the open boxes answers the last button.
TEST(VyrMessageBoxQuestionTest, TheBoxIsNoChildOfTheWindowThatItStandsOver)
{
    set_vyr_question_function(vyr_message_box_question);
    auto *window = new QWidget;
    window->setGeometry(200, 150, 600, 400);
    window->show();
    auto *button = new QPushButton(window);
    const QPoint window_centre = window->geometry().center();
    QObject *box_parent = window;
    QPoint box_centre;
    int open_inside = 0;
    QTimer::singleShot(0, [&] {
        QWidget *box = QApplication::activeModalWidget();
        ASSERT_NE(box, nullptr);
        box_parent = box->parent();
        box_centre = box->geometry().center();
        open_inside = VyrOpenQuestion::count();
        delete window;
        VyrOpenQuestion::close_all();
    });
    EXPECT_EQ(vyr_ask_question(button, "Warning", "Reload ?", {"YES", "No", "Cancel"}), 2);
    EXPECT_EQ(box_parent, nullptr);
    EXPECT_LE((box_centre - window_centre).manhattanLength(), 2) << box_centre.x() << "," << box_centre.y();
    EXPECT_EQ(open_inside, 1);
    EXPECT_EQ(VyrOpenQuestion::count(), 0);
    set_vyr_question_function(nullptr);
}
