#pragma once
// The questions the program puts to the user in a message box ("Script file
// ... has been altered on disk"), behind one replaceable function: the
// program shows a real box on the GUI thread, tests answer from a table.
#include <QString>
#include <QStringList>

#include <functional>

class QWidget;

// Answers the index of the button chosen.
using VyrQuestionFunction =
    std::function<int(QWidget *parent, const QString &title, const QString &text, const QStringList &buttons)>;

// A warning box with the buttons in this order. Off the GUI thread, and when
// the box is closed without a button, the answer is the last button: a modal
// box never opens on another thread.
int vyr_ask_question(QWidget *parent, const QString &title, const QString &text, const QStringList &buttons);
// Replaces the box; an empty function brings it back.
void set_vyr_question_function(VyrQuestionFunction function);
