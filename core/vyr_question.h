#pragma once
// The questions the program puts to the user in a message box ("Script file
// ... has been altered on disk"), behind one replaceable function: the shell
// installs the message box of the widgets library, tests answer from a table.
#include <QString>
#include <QStringList>

#include <functional>

class QWidget;

// The picture of the box: a notice, a question that warns, an error.
enum class VyrQuestionIcon { information, warning, critical };

// Answers the index of the button chosen.
using VyrQuestionFunction = std::function<int(QWidget *parent, const QString &title, const QString &text,
                                              const QStringList &buttons, VyrQuestionIcon icon)>;

// Asks through the installed function; with none installed (no GUI) the
// answer is the last button, the one that changes nothing. That button is
// also the box's default: Enter alone never chooses a change.
int vyr_ask_question(QWidget *parent, const QString &title, const QString &text, const QStringList &buttons,
                     VyrQuestionIcon icon = VyrQuestionIcon::warning);
// An empty function takes the installed one away.
void set_vyr_question_function(VyrQuestionFunction function);
