#pragma once
// The questions the program puts to the user in a message box ("Script file
// ... has been altered on disk"), behind one replaceable function: the shell
// installs the message box of the widgets library, tests answer from a table.
#include <QString>
#include <QStringList>

#include <functional>

class QWidget;

// Answers the index of the button chosen.
using VyrQuestionFunction =
    std::function<int(QWidget *parent, const QString &title, const QString &text, const QStringList &buttons)>;

// Asks through the installed function; with none installed (no GUI) the
// answer is the last button, the one that changes nothing.
int vyr_ask_question(QWidget *parent, const QString &title, const QString &text, const QStringList &buttons);
// An empty function takes the installed one away.
void set_vyr_question_function(VyrQuestionFunction function);
